#pragma once

#include "platform/windows/notifyicon.h"
#include "shell/trayhost.h"

#include <memory>

namespace tarv {

// The notification area of Windows for the tray component: the icon record goes to the shell
// as it is, and the shell's callback messages are caught on the owner window's procedure and
// handed to the component unchanged, so the component's own rules decide what a click means.
// shell is the notify-icon call (the real one in the program, a recorder in tests).
std::unique_ptr<TrayHost> makeNotifyTrayHost(win32::NotifyIcon::ShellFunction shell);

} // namespace tarv
