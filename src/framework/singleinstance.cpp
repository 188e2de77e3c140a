#include "framework/singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#ifdef Q_OS_WIN
#include "platform/windows/instancename.h"
#endif

namespace tarv {

namespace {

constexpr int kWaitMs = 1000;
const QByteArray kShow = "show\n";
const QByteArray kStatus = "status\n";

} // namespace

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent), m_name(serverName(dataFolder)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString &dataFolder) {
    // The name holds the user and a digest of the folder, so that two copies of the program in
    // different folders run side by side and users do not see each other's program.
    const QByteArray folder = QDir(dataFolder).canonicalPath().toUtf8();
    const QByteArray digest = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16);
#ifdef Q_OS_WIN
    // Windows has one pipe name space for the whole machine: the user's identifier keeps it apart.
    return windowsInstanceName(QString::fromLatin1(digest));
#endif
    return QStringLiteral("tarv-%1-%2").arg(qEnvironmentVariable("USER", QStringLiteral("user")),
                                            QString::fromLatin1(digest));
}

bool SingleInstance::claim() {
    // The lock decides which program is the first; a lock left by a program that was killed
    // is taken over, as its process is gone.
    m_lock = std::make_unique<QLockFile>(QDir::temp().filePath(m_name + QStringLiteral(".lock")));
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        listen();
        return true;
    }
    // The first program may still be starting: give it a moment to open its socket.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (askRunningInstance()) return false;
        QThread::msleep(100);
    }
    return false;
}

bool SingleInstance::askRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kWaitMs)) return false;
    socket.write(kShow);
    socket.waitForBytesWritten(kWaitMs);
    socket.disconnectFromServer();
    return true;
}

std::optional<QByteArray> SingleInstance::askStatus(const QString &dataFolder, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(serverName(dataFolder));
    if (!socket.waitForConnected(timeoutMs)) return std::nullopt;
    socket.write(kStatus);
    QByteArray answer;
    QDeadlineTimer deadline(timeoutMs);
    while (!answer.contains('\n') && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) break;
        answer += socket.readAll();
    }
    socket.disconnectFromServer();
    const qsizetype end = answer.indexOf('\n');
    return end < 0 ? QByteArray() : answer.left(end);
}

bool SingleInstance::listen() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A socket left by a program that was killed (this one holds the lock now).
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                // Two requests are known; anything else is ignored.
                const QByteArray request = client->readAll();
                if (request.startsWith(kStatus.trimmed())) {
                    // A status bar may ask every second: the answer comes from memory.
                    if (m_statusSource) client->write(m_statusSource() + '\n');
                    client->flush();
                } else if (request.startsWith(kShow.trimmed())) {
                    emit showRequested();
                }
            });
        }
    });
    return true;
}

} // namespace tarv
