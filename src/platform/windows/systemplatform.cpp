#include "platform/platform.h"

#include "platform/linux/systemclock.h"
#include "platform/windows/datafolder.h"
#include "platform/windows/rasdialupservice.h"
#include "platform/windows/runkeyautostartstore.h"
#include "platform/windows/shellexecuteopener.h"

#include <QCoreApplication>
#include <QDir>

#include <shlobj.h>

namespace tarv {

namespace {

// The user's roaming application data folder (%APPDATA%), empty if the shell has none.
QString roamingAppData() {
    PWSTR path = nullptr;
    QString folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &path)))
        folder = QDir::fromNativeSeparators(QString::fromWCharArray(path));
    CoTaskMemFree(path);
    return folder;
}

} // namespace

QString systemDataFolder(bool create) {
    const QString folder = windowsDataFolder(QCoreApplication::applicationDirPath(), roamingAppData());
    // The folder is made for the program; a failure shows when the ledger is first written.
    if (create) QDir().mkpath(folder);
    return folder;
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
    // The end-to-end tests point the program at a server on this machine instead of the maker's.
    const QString makerOverride = qEnvironmentVariable("TARV_MAKER_URL");
    p.makerUrl = makerOverride.isEmpty() ? QStringLiteral(TARV_MAKER_URL) : makerOverride;
    return p;
}

} // namespace tarv
