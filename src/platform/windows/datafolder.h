#pragma once

#include <QString>

namespace tarv {

// The file the installer puts beside tarv.exe. Its presence, and nothing else, tells an installed
// copy from a portable one: whether the program's folder is writable says nothing reliable on
// Windows (Wine does not enforce Program Files' permissions, and Windows may quietly redirect
// such writes to a per-user store).
inline constexpr char kInstalledMarker[] = "tarv.installed";

// The folder that holds data.dat and popup.txt: a portable copy keeps them beside itself; an
// installed copy keeps them in <roaming application data>\Tarv. Both arguments are absolute folders.
QString windowsDataFolder(const QString &programFolder, const QString &roamingAppData);

} // namespace tarv
