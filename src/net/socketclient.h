#pragma once

#include "net/messagetimer.h"
#include "net/nativesocket.h"
#include "net/neterrors.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QSocketNotifier;

namespace tarv {

class TSocketClient;

using TNotifyEvent = std::function<void(QObject *sender)>;
using THandlerEvent = std::function<void(bool &handled)>;
using TOnStatus = std::function<void(QObject *sender, const QString &status)>;
using TOnSocketError = std::function<void(QObject *sender, quint16 error, const QString &message)>;

// A TCP client socket on the GUI thread: one non-blocking IPv4 socket whose readiness is
// reported through the Qt event loop (on POSIX sockets or on Winsock, see nativesocket.h). Its operations look blocking to the caller: each waits
// inside a nested event loop that sleeps until a socket, timer or GUI event arrives, so the rest
// of the program keeps running meanwhile. The component is not re-entrant: code that runs
// during such a wait must not start another operation on it.
//
// Failures are exceptions: ESockError with the component's own texts, EAbortError when a
// transfer ran out of time or was aborted. Socket errors use the numbering of ErrorMessage().
class TSocketClient : public QObject {
public:
    // The work buffer of every transfer: the longest line ReadLn returns in one piece and the
    // largest block moved at a time.
    static constexpr int kBufferSize = 65536;

    explicit TSocketClient(QObject *parent = nullptr);
    ~TSocketClient() override;
    TSocketClient(const TSocketClient &) = delete;
    TSocketClient &operator=(const TSocketClient &) = delete;

    // Where to connect: a host name or a dotted IPv4 address, and a port. With a non-empty
    // Proxy, Proxy and ProxyPort are used instead.
    QString Host;
    int Port = 0;
    QString Proxy;
    int ProxyPort = 0;
    // The limit of each wait in milliseconds; 0 waits without limit. Must not be negative.
    int TimeOut = 0;
    // Status texts with a level up to this value reach OnStatus.
    int ReportLevel = 0;

    TNotifyEvent OnConnect;
    TNotifyEvent OnDisconnect;
    TNotifyEvent OnConnectionFailed;
    THandlerEvent OnInvalidHost; // Handled true asks for one more lookup (Host may be changed).
    TNotifyEvent OnHostResolved;
    TOnStatus OnStatus;
    TNotifyEvent OnReadReady;
    TOnSocketError OnSocketError;
    TNotifyEvent OnPacketRecvd;
    TNotifyEvent OnPacketSent;

    // Connection.
    virtual void Connect();
    virtual void Disconnect();
    virtual void Abort();
    void Cancel();
    void RequestCloseSocket();
    // Takes over socket, an already connected stream socket (one end of a socket pair, say),
    // in place of the component's own socket, as if Connect had just succeeded; the component
    // owns and closes it from now on. Lets tests and fuzzers feed a peer's bytes to the
    // transfers without a network.
    void adoptConnected(native::Handle socket);
    bool DataAvailable();
    bool isConnected() const { return m_connected; }

    // Transfers.
    void SendBuffer(const char *data, qint64 length);
    void Write(const QByteArray &text);
    void Writeln(const QByteArray &text);
    void SendFile(const QString &fileName);
    QByteArray ReadLn();
    // Receives until the peer closes or limit bytes have come (-1: no limit).
    void CaptureFile(const QString &fileName, qint64 limit = -1);
    void CaptureString(QByteArray &text, qint64 limit);
    virtual QByteArray Transaction(const QByteArray &line);

    // Status and errors.
    void ReportStatus(int level, const QString &text);
    QString ErrorMessage(int error);
    // The number of the table that a platform error number (errno, or Winsock's) stands for.
    static int mapPlatformError(int platformError);

    int LastErrorNo() const { return m_lastErrorNo; }
    QString LastStatus() const { return m_lastStatus; }
    QByteArray LastReply() const { return m_lastReply; }
    qint16 ReplyNumber() const { return m_replyNumber; }
    qint64 BytesSent() const { return m_bytesSent; }
    qint64 BytesTotal() const { return m_bytesTotal; }
    qint64 BytesRecvd() const { return m_bytesRecvd; }
    const QStringList &WinsockInfo() const { return m_winsockInfo; }
    // The address the last Connect went to, in network byte order (0 before a lookup).
    quint32 remoteAddress() const { return m_remoteAddress; }

protected:
    void ResolveHost();
    void TimerOn();
    void TimerOff();
    void TimerTriggered();
    // Reads the last platform error into LastErrorNo; raises ESockError unless it is tolerated.
    void CheckError(int tolerated, QString &message);
    void CheckError(int tolerated);

    // Sleeps until a socket, timer or GUI event has been handled. reading/writing choose which
    // readiness of the socket wakes it.
    void waitForEvent(bool reading, bool writing);

    qint16 m_replyNumber = 0;
    qint64 m_bytesTotal = 0;
    qint64 m_bytesRecvd = 0;
    bool m_canceled = false;
    bool m_waitDone = false;
    bool m_timedOut = false;

private:
    // Makes a fresh unconnected socket with its notifiers; raises on failure.
    void makeSocket();
    // Makes socket the socket of the component and gives it its (disabled) notifiers.
    void attachSocket(native::Handle socket);
    void closeHandle();
    void onReadable();
    void onWritable();
    // Ends a connection attempt with its outcome (0 or the platform's error).
    void finishConnect(int error);
    void noteError(int platformError);
    qint64 recvSome(char *into, qint64 max, bool peek);
    void sendAll(const char *data, qint64 length, bool perBlockEvents);
    // The receive loop that CaptureFile and CaptureString share.
    void receiveAll(const std::function<qint64()> &room, const std::function<void(const char *, qint64)> &sink);
    // Switches the time-out timer off on every way out of a wait, errors included.
    struct TimerGuard {
        TSocketClient *owner;
        ~TimerGuard() { owner->TimerOff(); }
    };

    native::Handle m_socket = native::kInvalid;
    bool m_libraryStarted = false;
    bool m_socketUsed = false; // connect() has been called on m_socket
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    bool m_connecting = false;
    bool m_connected = false;
    bool m_destroying = false;
    bool m_lastEventOk = true;
    int m_lastErrorNo = 0;
    QString m_lastStatus;
    QByteArray m_lastReply;
    qint64 m_bytesSent = 0;
    QStringList m_winsockInfo;
    quint32 m_remoteAddress = 0; // network byte order
    int m_lookupId = -1;
    quint64 m_lookupToken = 0;
    quint32 m_lookupAddress = 0;
    TMessageTimer m_timer;
    QByteArray m_buffer;
};

} // namespace tarv
