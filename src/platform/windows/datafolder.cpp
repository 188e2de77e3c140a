#include "platform/windows/datafolder.h"

#include <QDir>
#include <QFileInfo>

namespace tarv {

QString windowsDataFolder(const QString &programFolder, const QString &roamingAppData) {
    if (!QFileInfo(QDir(programFolder).filePath(QLatin1String(kInstalledMarker))).isFile()) return programFolder;
    // Without a roaming folder (an unusual profile) the program still runs, beside itself.
    if (roamingAppData.isEmpty()) return programFolder;
    return QDir::cleanPath(QDir(roamingAppData).filePath(QStringLiteral("Tarv")));
}

} // namespace tarv
