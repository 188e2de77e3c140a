#include "platform/programpath.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tarv {

namespace {

QString &adoptedPath() {
    static QString path;
    return path;
}

} // namespace

void adoptProgramPath() {
    const QString handed = qEnvironmentVariable(kProgramPathVariable);
    qunsetenv(kProgramPathVariable);
    // Only an absolute path to an existing file is taken; anything else leaves this
    // executable's own path in force, as when the tray program is started by hand.
    if (QFileInfo(handed).isAbsolute() && QFileInfo(handed).isFile()) adoptedPath() = handed;
}

QString programFilePath() {
    return adoptedPath().isEmpty() ? QCoreApplication::applicationFilePath() : adoptedPath();
}

QString programFolder() {
    return QFileInfo(programFilePath()).absolutePath();
}

} // namespace tarv
