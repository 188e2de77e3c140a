#include "net/socketclient.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

namespace tarv {

TSocketClient::TSocketClient(QObject *parent) : QObject(parent), m_buffer(kBufferSize + 1, '\0') {
    ReportStatus(8, QStringLiteral("Create"));
    // The time-out timer starts switched off; TimerOn arms it for one wait at a time.
    m_timer.setEnabled(false);
    m_timer.setOnTimer([this] { TimerTriggered(); });
    ReportStatus(8, QStringLiteral("Initializing Winsock"));
    const QString failed = QStringLiteral("Initializaton of windows sockets failed");
    int error = 0;
    if (!native::startup(m_winsockInfo, error)) throw ESockError(failed);
    m_libraryStarted = true;
    try {
        makeSocket();
    } catch (const ESockError &) {
        // The destructor does not run for an object whose constructor fails.
        native::cleanup();
        m_libraryStarted = false;
        throw ESockError(failed);
    }
}

TSocketClient::~TSocketClient() {
    ReportStatus(8, QStringLiteral("Destroy"));
    // No handler of the owner runs once destruction has begun.
    m_destroying = true;
    m_canceled = true;
    m_timer.setEnabled(false);
    if (m_lookupId >= 0) QHostInfo::abortHostLookup(m_lookupId);
    try {
        closeHandle();
    } catch (...) {
        // Nothing can be reported from a destructor.
    }
    if (m_libraryStarted) native::cleanup();
}

void TSocketClient::makeSocket() {
    int error = 0;
    // Closing resets the connection at once instead of lingering over unsent data.
    const native::Handle socket = native::openStream(error);
    if (socket == native::kInvalid) {
        noteError(error);
        throw ESockError(ErrorMessage(m_lastErrorNo));
    }
    attachSocket(socket);
    m_socketUsed = false;
}

void TSocketClient::attachSocket(native::Handle socket) {
    m_socket = socket;
    // The notifiers belong to this object so that one released inside its own signal (a peer
    // close noticed by onReadable) can be deleted later and is gone with the component at the latest.
    m_readNotifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    m_readNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, [this] { onReadable(); });
    m_writeNotifier = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] { onWritable(); });
}

void TSocketClient::closeHandle() {
    for (QSocketNotifier *n : {m_readNotifier, m_writeNotifier}) {
        if (!n) continue;
        n->setEnabled(false);
        n->disconnect(this);
        n->deleteLater();
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    if (m_socket != native::kInvalid) {
        const native::Handle socket = m_socket;
        m_socket = native::kInvalid;
        if (const int error = native::close(socket)) {
            noteError(error);
            CheckError(10035);
        }
    }
}

// The read readiness of a connected socket: data has come, or the peer has closed. Like the
// notifications the component is modelled on, it fires once and is armed again by the next
// receive, so unread data does not keep the event loop spinning.
void TSocketClient::onReadable() {
    if (m_readNotifier) m_readNotifier->setEnabled(false);
    if (m_socket == native::kInvalid) return;
    try {
        char probe = 0;
        int error = 0;
        const qint64 r = native::receive(m_socket, &probe, 1, true, error);
        if (r > 0) {
            m_lastEventOk = true;
            if (OnReadReady) OnReadReady(this);
        } else if (r == 0) {
            // The peer has closed and nothing is left to read: the socket is done with. A
            // reader waiting on it meets "not connected" on the fresh socket and ends its read.
            m_lastEventOk = true;
            RequestCloseSocket();
        } else {
            // Nothing to read after all, or an interrupted call: wait for the next notice.
            const int mapped = mapPlatformError(error);
            if ((mapped == 10035 || mapped == 10004) && m_readNotifier) m_readNotifier->setEnabled(true);
        }
        // Any other error is left in the socket for the next receive to report.
    } catch (...) {
        // Errors in notification handling go no further, as a window procedure's would not.
    }
}

// The write readiness: the outcome of a connection attempt, or room to send again.
void TSocketClient::onWritable() {
    if (m_writeNotifier) m_writeNotifier->setEnabled(false);
    if (!m_connecting || m_socket == native::kInvalid) return;
    finishConnect(native::pendingError(m_socket));
}

void TSocketClient::finishConnect(int error) {
    m_lastEventOk = error == 0;
    if (error != 0) {
        noteError(error);
        return;
    }
    m_connected = true;
    try {
        if (OnConnect) OnConnect(this);
    } catch (...) {
    }
}

void TSocketClient::waitForEvent(bool reading, bool writing) {
    if (reading && m_readNotifier) m_readNotifier->setEnabled(true);
    if (writing && m_writeNotifier) m_writeNotifier->setEnabled(true);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TSocketClient::ResolveHost() {
    ReportStatus(8, QStringLiteral("Resolve Host"));
    const QString name = Proxy.isEmpty() ? Host : Proxy;
    quint32 numeric = 0;
    if (native::parseNumeric(name, numeric)) {
        m_remoteAddress = qToBigEndian(numeric);
        return;
    }
    m_remoteAddress = 0;
    {
        TimerOn();
        TimerGuard guard{this};
        m_waitDone = false;
        m_lastEventOk = true;
        m_lookupAddress = 0;
        // Each lookup has its own token, so that an answer to an abandoned one (timed out or
        // aborted) is told apart even if it comes while a later lookup waits.
        const quint64 token = ++m_lookupToken;
        // A name that is no host name at all cannot be looked up: that is a failed lookup,
        // reported at once rather than a wait for an answer that never comes.
        if (name.isEmpty() || QUrl::toAce(name).isEmpty()) {
            m_lastEventOk = false;
            m_waitDone = true;
        } else {
            m_lookupId = QHostInfo::lookupHost(name, this, [this, token](const QHostInfo &info) {
                if (token != m_lookupToken || m_waitDone) return;
                m_lookupId = -1;
                m_lastEventOk = false;
                for (const QHostAddress &a : info.addresses()) {
                    if (a.protocol() != QAbstractSocket::IPv4Protocol) continue;
                    m_lookupAddress = qToBigEndian(a.toIPv4Address());
                    m_lastEventOk = true;
                    break;
                }
                m_waitDone = true;
                // The answer comes as a posted event, which does not end a wait by itself on
                // every platform.
                if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
                    dispatcher->wakeUp();
            });
        }
        while (!m_waitDone && !m_timedOut && !m_canceled)
            waitForEvent(false, false);
        if (m_lookupId >= 0) QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
        ++m_lookupToken;
    }
    if (m_timedOut) throw ESockError(QStringLiteral("Host Lookup Timed Out"));
    if (m_canceled) throw ESockError(QStringLiteral("Host Lookup Canceled"));
    if (!m_lastEventOk) throw ESockError(QStringLiteral("Host Lookup Failed"));
    m_remoteAddress = m_lookupAddress;
    if (OnHostResolved) OnHostResolved(this);
}

void TSocketClient::Connect() {
    ReportStatus(8, QStringLiteral("Connecting"));
    m_canceled = false;
    if (m_connected) throw ESockError(QStringLiteral("Already connected"));

    for (int tries = 0;; ++tries) {
        try {
            ResolveHost();
        } catch (const ESockError &e) {
            if (e.message() == QLatin1String("Host Lookup Timed Out") ||
                e.message() == QLatin1String("Host Lookup Canceled"))
                throw;
            m_remoteAddress = 0;
        }
        if (m_remoteAddress != 0) break;
        if (tries > 0 || !OnInvalidHost) throw ESockError(QStringLiteral("Null Remote Address"));
        bool handled = false;
        OnInvalidHost(handled);
        if (!handled) throw ESockError(QStringLiteral("Null Remote Address"));
    }

    // A socket that already took part in a failed attempt (or none at all, when making the
    // last fresh one failed) is replaced before the next attempt.
    if (m_socket == native::kInvalid || m_socketUsed) {
        closeHandle();
        makeSocket();
    }
    m_socketUsed = true;

    const int port = Proxy.isEmpty() ? Port : ProxyPort;
    m_waitDone = false;
    m_lastEventOk = true;
    // A port that does not fit 16 bits would quietly reach another port: refuse it instead.
    if (port < 0 || port > 65535) m_lastEventOk = false;

    const int error = m_lastEventOk ? native::connectTo(m_socket, qFromBigEndian(m_remoteAddress), quint16(port)) : 0;
    if (m_lastEventOk && error == 0) {
        m_connected = true;
        if (OnConnect) OnConnect(this);
    } else if (m_lastEventOk) {
        noteError(error);
        const int mapped = m_lastErrorNo;
        if (mapped == 10035 || mapped == 10036) {
            // Normal for a non-blocking socket: the outcome comes as write readiness.
        } else if (mapped == 10061 || mapped == 10051 || mapped == 10065 || mapped == 10060) {
            m_lastEventOk = false; // an outcome known at once
        } else {
            CheckError(10035);
        }
    }

    {
        m_connecting = true;
        TimerOn();
        TimerGuard guard{this};
        QTimer check;
        if (native::kConnectCheckMs > 0) check.start(native::kConnectCheckMs);
        while (!m_connected && !m_timedOut && !m_canceled && m_lastEventOk) {
            // The outcome is asked for directly too: a notification may never come for it.
            int failure = 0;
            const int state = m_socket == native::kInvalid ? 0 : native::connectState(m_socket, failure);
            if (state != 0) {
                finishConnect(state > 0 ? 0 : failure);
                continue;
            }
            waitForEvent(false, true);
        }
        m_connecting = false;
    }
    if (!m_timedOut && !m_canceled && m_lastEventOk) {
        // Peer closes while idle are noticed from now on.
        if (m_readNotifier) m_readNotifier->setEnabled(true);
        return;
    }
    if (OnConnectionFailed) OnConnectionFailed(this);
    if (m_timedOut) throw ESockError(QStringLiteral("Connection Timed out"));
    if (m_canceled) throw ESockError(QStringLiteral("Connection Canceled"));
    throw ESockError(QStringLiteral("Connection Failed"));
}

void TSocketClient::Disconnect() {
    ReportStatus(8, QStringLiteral("Disconnecting"));
    RequestCloseSocket();
}

void TSocketClient::Cancel() {
    ReportStatus(8, QStringLiteral("Canceling"));
    m_canceled = true;
    // The wait that the cancel ends must return even when it came from a handler that the
    // event loop ran without counting it as an event of its own (Qt's Windows dispatcher).
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance()) dispatcher->wakeUp();
}

void TSocketClient::Abort() {
    ReportStatus(8, QStringLiteral("Abort"));
    Cancel();
}

void TSocketClient::RequestCloseSocket() {
    ReportStatus(4, QStringLiteral("Request Close Socket"));
    m_connected = false;
    if (m_socket == native::kInvalid) return;
    closeHandle();
    if (m_destroying) return;
    if (OnDisconnect) OnDisconnect(this);
    // The component always holds a socket ready for the next Connect.
    makeSocket();
}

void TSocketClient::adoptConnected(native::Handle socket) {
    closeHandle();
    native::adopt(socket);
    attachSocket(socket);
    m_socketUsed = true;
    m_canceled = false;
    m_connected = true;
    // Peer closes while idle are noticed from now on, as after Connect.
    m_readNotifier->setEnabled(true);
}

bool TSocketClient::DataAvailable() {
    ReportStatus(8, QStringLiteral("Data Available"));
    char probe = 0;
    int error = 0;
    return m_socket != native::kInvalid && native::receive(m_socket, &probe, 1, true, error) >= 1;
}

void TSocketClient::TimerOn() {
    ReportStatus(8, QStringLiteral("Timer On"));
    if (TimeOut < 0) throw Exception(QStringLiteral("Range check error"));
    m_timedOut = false;
    m_timer.setInterval(unsigned(TimeOut));
    m_timer.setEnabled(true);
}

void TSocketClient::TimerOff() {
    ReportStatus(8, QStringLiteral("Timer Off"));
    m_timer.setEnabled(false);
}

void TSocketClient::TimerTriggered() {
    ReportStatus(8, QStringLiteral("Timer Triggered"));
    TimerOff();
    m_timedOut = true;
    m_waitDone = true;
    Abort();
}

void TSocketClient::ReportStatus(int level, const QString &text) {
    if (level > ReportLevel) return;
    m_lastStatus = text;
    if (m_destroying || !OnStatus) return;
    try {
        OnStatus(this, text);
    } catch (...) {
        // A status handler cannot stop the operation that reports.
    }
}

} // namespace tarv
