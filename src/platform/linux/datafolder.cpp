#include "platform/linux/datafolder.h"
#include "platform/platform.h"
#include "platform/programpath.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarv {

namespace {

// The folder as the system finds it: links resolved where it exists, tidied where it does not.
QString resolved(const QString &folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(folder) : canonical;
}

} // namespace

QString installedProgramFolder() { return QStringLiteral(TARV_INSTALL_BINDIR); }

bool isInstalledProgram(const QString &programFolder, const QString &installFolder) {
    if (programFolder.isEmpty() || installFolder.isEmpty()) return false;
    return resolved(programFolder) == resolved(installFolder);
}

QString linuxDataFolder(const QString &programFolder, const QString &installFolder, const QString &userDataFolder) {
    if (userDataFolder.isEmpty()) return programFolder;
    if (isInstalledProgram(programFolder, installFolder)) return userDataFolder;
    return QFileInfo(programFolder).isWritable() ? programFolder : userDataFolder;
}

// One rule for the command-line front and the tray program: both link this, so a report reads
// the same ledger the meter writes. The program's folder is the front's, which the tray program
// is told when the front starts it.
QString systemDataFolder(bool create) {
    const QString appFolder = programFolder();
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // Installed is where `cmake --install` put the program; there the data go to the user's
    // folder even when the program's folder is writable, as it is for root.
    const QString folder = linuxDataFolder(appFolder, installedProgramFolder(), userFolder);
    // The folder is made for the program; a failure shows when the ledger is first written,
    // rather than the data landing in a shared folder.
    if (create && folder != appFolder) QDir().mkpath(folder);
    return folder;
}

} // namespace tarv
