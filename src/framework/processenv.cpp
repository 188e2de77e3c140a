#include "framework/processenv.h"

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace tarv {

void allowWebEngineAsRoot(unsigned effectiveUid) {
    if (effectiveUid != 0 || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) return;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

void allowWebEngineAsRoot() {
#ifndef Q_OS_WIN
    allowWebEngineAsRoot(static_cast<unsigned>(::geteuid()));
#endif
}

void preferXWayland() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                         qgetenv("XDG_SESSION_TYPE") == "wayland";
    if (wayland && !qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "xcb");
}

void prepareProcessEnvironment() {
    allowWebEngineAsRoot();
    preferXWayland();
}

} // namespace tarv
