#pragma once

#include <QString>

namespace tarv {

// The folder the build installs the program into (`cmake --install`), absolute.
QString installedProgramFolder();

// True when the program in `programFolder` is the installed one: its folder is the folder the
// build installs programs into (`installFolder`, absolute), symbolic links resolved. A program
// run from its build folder or from a folder it was unpacked into is not.
bool isInstalledProgram(const QString &programFolder, const QString &installFolder);

// The folder that holds data.dat and popup.txt. An installed program keeps them in the user's
// data folder whoever runs it, root included: the program's folder is shared by every user, and
// root can write to it. A program run from its own folder keeps them beside itself, or in the
// user's data folder when it cannot write there. Without a user's data folder (an unusual
// environment) the program still runs, beside itself.
QString linuxDataFolder(const QString &programFolder, const QString &installFolder, const QString &userDataFolder);

} // namespace tarv
