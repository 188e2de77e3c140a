#include "platform/platform.h"

#include "platform/linux/desktopshellopener.h"
#include "platform/linux/systemclock.h"
#include "platform/linux/systemdialupservice.h"
#include "platform/linux/xdgautostartstore.h"

#include <QCoreApplication>

namespace tarv {

Platform makeSystemPlatform() {
    Platform p;
    p.clock = std::make_shared<SystemClock>();
    p.dialup = SystemDialupService::create();
    p.autostart = std::make_shared<XdgAutostartStore>();
    p.shell = std::make_shared<DesktopShellOpener>();
    p.dataFolder = QCoreApplication::applicationDirPath();
    p.executablePath = QCoreApplication::applicationFilePath();
    p.makerUrl = QStringLiteral(TARV_MAKER_URL);
    return p;
}

} // namespace tarv
