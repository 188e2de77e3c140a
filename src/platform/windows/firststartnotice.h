#pragma once

#include <QString>

namespace tarv {

class TTrayIcon;

// The file beside the ledger that remembers that the first-start notice was shown.
inline constexpr char kFirstStartNoticeMarker[] = "firststart.shown";

// The notice's title and text: where the program lives (the notification area, possibly among
// the hidden icons, and its folder) and how to open it.
QString firstStartNoticeTitle();
QString firstStartNoticeText(const QString &programFolder);

// At the first start of an installed copy, the program shows nothing but an icon that Windows
// may put among the hidden ones: a balloon from the icon says where it is and how to open it.
// Once per user: the marker beside the ledger keeps it from showing again, and is written only
// when the balloon was shown (a shell not ready yet gets another chance at the next start). A
// portable copy, which its user unpacked and started on purpose, shows none. True when shown.
bool showFirstStartNotice(TTrayIcon &tray, const QString &programFolder, const QString &dataFolder);

} // namespace tarv
