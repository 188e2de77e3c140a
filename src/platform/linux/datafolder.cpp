#include "platform/platform.h"
#include "platform/programpath.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarv {

// One rule for the command-line front and the tray program: both link this, so a report reads
// the same ledger the meter writes.
QString systemDataFolder(bool create) {
    const QString appFolder = programFolder();
    // An installed program lives in a folder its user cannot write: its ledger and vendor menu
    // then live in the user's data folder instead.
    if (QFileInfo(appFolder).isWritable()) return appFolder;
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!create || QDir().mkpath(userFolder)) return userFolder;
    return appFolder;
}

} // namespace tarv
