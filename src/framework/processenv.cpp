#include "framework/processenv.h"

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace tarv {

namespace {

unsigned effectiveUid() {
#ifndef Q_OS_WIN
    return static_cast<unsigned>(::geteuid());
#else
    return 1;
#endif
}

} // namespace

bool webEngineMayRun(unsigned effectiveUid) {
    return effectiveUid != 0 || qgetenv("TARV_BANNER_ENGINE") == "web";
}

bool webEngineMayRun() {
    return webEngineMayRun(effectiveUid());
}

void allowWebEngineAsRoot(unsigned effectiveUid) {
    if (effectiveUid != 0 || !webEngineMayRun(effectiveUid) ||
        qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        return;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

void allowWebEngineAsRoot() {
    allowWebEngineAsRoot(effectiveUid());
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
