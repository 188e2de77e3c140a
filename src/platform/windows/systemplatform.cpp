#include "platform/platform.h"

#include "platform/linux/systemclock.h"
#include "platform/windows/rasdialupservice.h"
#include "platform/windows/runkeyautostartstore.h"
#include "platform/windows/shellexecuteopener.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace tarv {

namespace {

// Whether files can be created in a folder. Qt does not look at NTFS permissions by default, so
// the folder is tried instead of asked.
bool canWriteIn(const QString &folder) {
    QTemporaryFile probe(folder + QStringLiteral("/tarv-XXXXXX"));
    return probe.open();
}

} // namespace

QString systemDataFolder(bool create) {
    const QString appFolder = QCoreApplication::applicationDirPath();
    // A program installed under Program Files cannot write beside itself: its ledger and vendor
    // menu then live in the user's data folder instead. The probe file is removed at once.
    if (canWriteIn(appFolder)) return appFolder;
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!create || QDir().mkpath(userFolder)) return userFolder;
    return appFolder;
}

Platform makeSystemPlatform() {
    Platform p;
    p.clock = std::make_shared<SystemClock>();
    p.dialup = std::make_shared<RasDialupService>();
    p.autostart = std::make_shared<RunKeyAutostartStore>();
    p.shell = std::make_shared<ShellExecuteOpener>();
    p.dataFolder = systemDataFolder(true);
    // The Run key holds the path as Windows writes it, with backslashes.
    p.executablePath = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    p.makerUrl = QStringLiteral(TARV_MAKER_URL);
    return p;
}

} // namespace tarv
