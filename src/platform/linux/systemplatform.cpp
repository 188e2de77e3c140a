#include "platform/platform.h"

#include "platform/linux/datafolder.h"
#include "platform/linux/desktopshellopener.h"
#include "platform/linux/systemclock.h"
#include "platform/linux/systemdialupservice.h"
#include "platform/linux/xdgautostartstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace tarv {

QString systemDataFolder(bool create) {
    const QString appFolder = QCoreApplication::applicationDirPath();
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // Installed is where `cmake --install` put the program; there the data go to the user's
    // folder even when the program's folder is writable, as it is for root.
    const QString folder = linuxDataFolder(appFolder, installedProgramFolder(), userFolder);
    // The folder is made for the program; a failure shows when the ledger is first written,
    // rather than the data landing in a shared folder.
    if (create && folder != appFolder) QDir().mkpath(folder);
    return folder;
}

Platform makeSystemPlatform() {
    Platform p;
    p.clock = std::make_shared<SystemClock>();
    p.dialup = SystemDialupService::create();
    p.autostart = std::make_shared<XdgAutostartStore>();
    p.shell = std::make_shared<DesktopShellOpener>();
    p.dataFolder = systemDataFolder(true);
    p.executablePath = QCoreApplication::applicationFilePath();
    // The end-to-end tests point the program at a server on this machine instead of the maker's.
    const QString makerOverride = qEnvironmentVariable("TARV_MAKER_URL");
    p.makerUrl = makerOverride.isEmpty() ? QStringLiteral(TARV_MAKER_URL) : makerOverride;
    return p;
}

} // namespace tarv
