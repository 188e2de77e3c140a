#include "platform/platform.h"

#include "platform/linux/desktopshellopener.h"
#include "platform/linux/systemclock.h"
#include "platform/linux/systemdialupservice.h"
#include "platform/linux/xdgautostartstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarv {

QString systemDataFolder(bool create) {
    const QString appFolder = QCoreApplication::applicationDirPath();
    // An installed program lives in a folder its user cannot write: its ledger and vendor menu
    // then live in the user's data folder instead.
    if (QFileInfo(appFolder).isWritable()) return appFolder;
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!create || QDir().mkpath(userFolder)) return userFolder;
    return appFolder;
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
