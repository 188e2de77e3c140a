#include "platform/linux/datafolder.h"

#include <QDir>
#include <QFileInfo>

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

} // namespace tarv
