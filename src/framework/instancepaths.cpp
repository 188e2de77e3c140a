#include "framework/instancepaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include "platform/windows/instancename.h"
#else
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace tarv {

namespace {

// The digest of the data folder, so that copies of the program in different folders run side
// by side.
QString folderDigest(const QString &dataFolder) {
    const QByteArray folder = QDir(dataFolder).canonicalPath().toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16));
}

#ifndef Q_OS_WIN
enum class Check { Own, Missing, Refused };

// Checks that path is a real folder (not a link) of this user that no one else may enter. One of
// the user's own that others may enter is closed when close is set, refused otherwise.
Check checkOwnFolder(const QString &path, QString &error, bool close = true) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) {
        if (errno == ENOENT) return Check::Missing;
        error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return Check::Refused;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = QStringLiteral("Το %1 δεν είναι φάκελος").arg(path);
        return Check::Refused;
    }
    if (st.st_uid != ::geteuid()) {
        error = QStringLiteral("Ο φάκελος %1 ανήκει σε άλλον χρήστη (uid %2)").arg(path).arg(st.st_uid);
        return Check::Refused;
    }
    if ((st.st_mode & 077) != 0 && (!close || ::chmod(native.constData(), 0700) != 0)) {
        error = QStringLiteral("Ο φάκελος %1 είναι ανοιχτός σε άλλους χρήστες και δεν κλείνει: %2")
                    .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return Check::Refused;
    }
    return Check::Own;
}

// The folder path checked, made first when it is missing and create is set.
bool ownFolder(const QString &path, bool create, QString &error) {
    Check check = checkOwnFolder(path, error);
    if (check == Check::Missing && create) {
        if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST) {
            error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        check = checkOwnFolder(path, error);
    }
    return check == Check::Own || (check == Check::Missing && !create);
}
#endif

} // namespace

QString instanceFolder(bool create, QString &error) {
#ifdef Q_OS_WIN
    (void)create;
    (void)error;
    return QDir::tempPath();
#else
    // The session's runtime folder is the user's alone by its definition; it is checked all the
    // same (and left as it is), and a value that fails the check is passed over for the fall-back.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString ignored;
    if (QDir::isAbsolutePath(runtime) && checkOwnFolder(runtime, ignored, false) == Check::Own) {
        const QString folder = QDir(runtime).filePath(QStringLiteral("tarv"));
        if (ownFolder(folder, create, error)) return folder;
        return {};
    }
    // Qt gives no temporary folder when $TMPDIR names one that does not exist. The folder would
    // then be taken relative to the working folder, a different one for each start: a second
    // program would not find the first and would meter the same ledger, and no command would
    // find either. The start is refused instead, with the reason.
    const QString name = QStringLiteral("tarv-%1").arg(::geteuid());
    const QString temp = QDir::tempPath();
    if (temp.isEmpty()) {
        error = QStringLiteral("Ο φάκελος %1 δεν έχει θέση: ο προσωρινός φάκελος %2 δεν υπάρχει")
                    .arg(name, qEnvironmentVariable("TMPDIR"));
        return {};
    }
    const QString folder = QDir(temp).filePath(name);
    if (ownFolder(folder, create, error)) return folder;
    return {};
#endif
}

InstancePaths instancePaths(const QString &dataFolder, bool create) {
    InstancePaths paths;
    const QString digest = folderDigest(dataFolder);
#ifdef Q_OS_WIN
    // A name of the user's session and the folder (a named pipe and a lock in the temporary folder).
    // Windows has one pipe name space for the whole machine: the user's identifier keeps it apart.
    const QString name = windowsInstanceName(digest);
    paths.lock = QDir::temp().filePath(name + QStringLiteral(".lock"));
    paths.socket = name;
#else
    const QString folder = instanceFolder(create, paths.error);
    if (folder.isEmpty()) return paths;
    const QString socket = QDir(folder).filePath(digest + QStringLiteral(".sock"));
    if (QFile::encodeName(socket).size() >= qsizetype(sizeof(sockaddr_un::sun_path))) {
        paths.error = QStringLiteral("%1: η διαδρομή είναι πολύ μεγάλη για τοπική υποδοχή").arg(socket);
        return paths;
    }
    paths.lock = QDir(folder).filePath(digest + QStringLiteral(".lock"));
    paths.socket = socket;
#endif
    return paths;
}

} // namespace tarv
