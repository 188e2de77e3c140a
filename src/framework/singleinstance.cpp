#include "framework/singleinstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QThread>

namespace tarv {

namespace {

constexpr int kWaitMs = 1000;
const QByteArray kShow = "show";
const QByteArray kStatus = "status";
const QByteArray kWatch = "watch";
// A request is one short word and its line end; a client that sends more without one is not
// a command line of this program.
constexpr qint64 kMaxRequest = 64;
// Watchers that stop reading are dropped once this much waits for them, instead of the program
// holding their lines without bound.
constexpr qint64 kMaxPending = 64 * 1024;
constexpr qsizetype kMaxWatchers = 32;
// "command <n>": a command's request is the folder, a few environment values and the arguments,
// never long; a few run at once, the rest are declined and run where they were asked.
const QByteArray kCommand = "command ";
constexpr qint64 kMaxCommand = 16 * 1024; // as the command line's kMaxCommandPayload
constexpr int kMaxCommandsRunning = 4;
const QByteArray kDecline = "decline\n";

} // namespace

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent), m_paths(instancePaths(dataFolder)) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::claim() {
    if (!m_paths.error.isEmpty()) {
        m_error = QStringLiteral("Δεν είναι δυνατό να ξεκινήσει το πρόγραμμα: %1").arg(m_paths.error);
        return Claim::Failed;
    }
    // The lock decides which program is the first; a lock left by a program that was killed
    // is taken over, as its process is gone.
    m_lock = std::make_unique<QLockFile>(m_paths.lock);
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        if (!listen())
            m_error = QStringLiteral("Το πρόγραμμα δεν θα απαντά στο `tarv --status`: %1").arg(m_server->errorString());
        return Claim::First;
    }
    if (m_lock->error() != QLockFile::LockFailedError) {
        m_error = QStringLiteral("Δεν είναι δυνατό να ξεκινήσει το πρόγραμμα: το κλείδωμα %1 δεν γράφεται").arg(m_paths.lock);
        return Claim::Failed;
    }
    // The first program may still be starting: give it a moment to open its socket.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (askRunningInstance()) return Claim::Running;
        QThread::msleep(100);
    }
    qint64 pid = 0;
    QString host, application;
    m_lock->getLockInfo(&pid, &host, &application);
    m_error = QStringLiteral("Δεν είναι δυνατό να ξεκινήσει το πρόγραμμα: το αρχείο %1 το κρατά ήδη η διεργασία %2, "
                             "που δεν απαντά.")
                  .arg(m_paths.lock)
                  .arg(pid);
    return Claim::Failed;
}

bool SingleInstance::askRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(m_paths.socket);
    if (!socket.waitForConnected(kWaitMs)) return false;
    socket.write(kShow + '\n');
    socket.waitForBytesWritten(kWaitMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_paths.socket)) {
        // A socket left by a program that was killed (this one holds the lock now).
        QLocalServer::removeServer(m_paths.socket);
        if (!m_server->listen(m_paths.socket)) return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QObject::destroyed, this, [this, client] {
                m_watchers.removeOne(client);
                m_commandSizes.remove(client);
            });
            connect(client, &QLocalSocket::readyRead, this, [this, client] { serve(client); });
        }
    });
    return true;
}

void SingleInstance::serve(QLocalSocket *client) {
    // The bytes of a command follow its line; they are not lines of their own.
    if (const auto size = m_commandSizes.constFind(client); size != m_commandSizes.constEnd()) {
        if (client->bytesAvailable() >= *size) runCommand(client, *size);
        return;
    }
    while (client->canReadLine()) {
        const QByteArray request = client->readLine(kMaxRequest).trimmed();
        if (request.startsWith(kCommand)) {
            if (takeCommand(client, request)) serve(client);
            return;
        }
        if (request == kStatus) {
            // A status bar may ask every second: the answer comes from memory.
            if (m_statusSource) sendTo(client, m_statusSource());
        } else if (request == kShow) {
            emit showRequested();
        } else if (request == kWatch && m_statusSource && !m_watchers.contains(client)) {
            if (m_watchers.size() >= kMaxWatchers) {
                drop(client);
                return;
            }
            m_watchers.append(client);
            // The newcomer gets the line now; the others too when it is news to them.
            const QByteArray line = m_statusSource();
            if (line != m_published)
                publish(line);
            else
                sendTo(client, line);
        }
    }
    if (client->bytesAvailable() > kMaxRequest) drop(client);
}

bool SingleInstance::takeCommand(QLocalSocket *client, const QByteArray &request) {
    bool ok = false;
    const qint64 size = request.mid(kCommand.size()).toLongLong(&ok);
    if (!ok || size < 0 || size > kMaxCommand || m_watchers.contains(client)) {
        drop(client);
        return false;
    }
    m_commandSizes.insert(client, size);
    return true;
}

void SingleInstance::runCommand(QLocalSocket *client, qint64 size) {
    const QByteArray request = client->read(size);
    m_commandSizes.remove(client);
    // The connection carries one command. What follows it (the padding that makes programs of
    // earlier versions drop the connection) is read and let go, so that the connection closes
    // cleanly after the answer instead of being reset with bytes unread.
    disconnect(client, &QLocalSocket::readyRead, this, nullptr);
    connect(client, &QLocalSocket::readyRead, client, [client] { client->readAll(); });
    client->readAll();
    if (!m_commandHandler || m_commandsRunning >= kMaxCommandsRunning) {
        client->write(kDecline);
        client->disconnectFromServer();
        return;
    }
    ++m_commandsRunning;
    // The answer may come later, from a command run off this thread: by then the client may
    // have gone, and so may this object at the program's end.
    m_commandHandler(request, [self = QPointer<SingleInstance>(this), client = QPointer<QLocalSocket>(client)](
                                  const QByteArray &answer) {
        if (self) --self->m_commandsRunning;
        if (!client) return;
        client->write(answer);
        client->disconnectFromServer();
    });
}

void SingleInstance::sendTo(QLocalSocket *client, const QByteArray &line) {
    if (client->bytesToWrite() > kMaxPending) {
        drop(client);
        return;
    }
    client->write(line + '\n');
    client->flush();
}

void SingleInstance::drop(QLocalSocket *client) {
    m_watchers.removeOne(client);
    client->abort();
    client->deleteLater();
}

void SingleInstance::publishStatus() {
    if (m_watchers.isEmpty() || !m_statusSource) return;
    const QByteArray line = m_statusSource();
    if (line != m_published) publish(line);
}

void SingleInstance::publish(const QByteArray &line) {
    m_published = line;
    // A copy: a watcher dropped on the way leaves the list.
    const QList<QLocalSocket *> watchers = m_watchers;
    for (QLocalSocket *client : watchers) sendTo(client, line);
}

} // namespace tarv
