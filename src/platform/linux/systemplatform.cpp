#include "platform/platform.h"

#include "platform/linux/datafolder.h"
#include "platform/linux/desktopshellopener.h"
#include "platform/linux/systemclock.h"
#include "platform/linux/systemdialupservice.h"
#include "platform/linux/xdgautostartstore.h"
#include "platform/programpath.h"

namespace tarv {

Platform makeSystemPlatform() {
    Platform p;
    p.clock = std::make_shared<SystemClock>();
    p.dialup = SystemDialupService::create();
    p.autostart = std::make_shared<XdgAutostartStore>();
    p.shell = std::make_shared<DesktopShellOpener>();
    p.dataFolder = systemDataFolder(true);
    // The autostart entry starts what the user started: the front, not the tray program behind it.
    p.executablePath = programFilePath();
    // The end-to-end tests point the program at a server on this machine instead of the maker's.
    const QString makerOverride = qEnvironmentVariable("TARV_MAKER_URL");
    p.makerUrl = makerOverride.isEmpty() ? QStringLiteral(TARV_MAKER_URL) : makerOverride;
    return p;
}

} // namespace tarv
