// The operations that move data over the connected socket: sending, line reading and receiving
// until the peer closes. Each waits by sleeping in the event loop until the socket, the time-out
// timer or the GUI has something to say, so a silent peer costs no processor time.
#include "net/socketclient.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <cstring>

namespace tarv {

namespace {

constexpr int kWouldBlock = 10035;
constexpr int kNotConnected = 10057;

[[noreturn]] void fileError(const QString &what, const QFile &file) {
    throw EInOutError(QStringLiteral("%1 \"%2\": %3").arg(what, file.fileName(), file.errorString()));
}

} // namespace

// Like the notifications the component is modelled on, every receive arms the read
// notification again.
qint64 TSocketClient::recvSome(char *into, qint64 max, bool peek) {
    if (m_socket == native::kInvalid) {
        m_lastErrorNo = kNotConnected;
        return -1;
    }
    if (m_connected && m_readNotifier) m_readNotifier->setEnabled(true);
    int error = 0;
    const qint64 r = native::receive(m_socket, into, max, peek, error);
    if (r < 0) noteError(error);
    return r;
}

void TSocketClient::sendAll(const char *data, qint64 length, bool perBlockEvents) {
    while (length > 0 && !m_canceled) {
        int error = 0;
        const qint64 r = m_socket == native::kInvalid ? -1 : native::send(m_socket, data, length, error);
        if (r == 0) break;
        if (r < 0) {
            if (m_socket == native::kInvalid)
                m_lastErrorNo = kNotConnected;
            else
                noteError(error);
            CheckError(kWouldBlock);
            // The peer's window is full: sleep until there is room (or the time-out or an
            // abort comes) instead of retrying in a tight loop.
            waitForEvent(false, true);
            continue;
        }
        data += r;
        length -= r;
        if (perBlockEvents) {
            m_bytesSent += r;
            if (OnPacketSent) OnPacketSent(this);
            QCoreApplication::processEvents();
        }
    }
}

void TSocketClient::SendBuffer(const char *data, qint64 length) {
    ReportStatus(4, QStringLiteral("Sending Buffer"));
    {
        TimerOn();
        TimerGuard guard{this};
        if (!m_canceled) {
            if (length == 0) length = qint64(std::strlen(data));
            sendAll(data, length, false);
        }
    }
    if (m_canceled) {
        m_canceled = false;
        throw EAbortError(QStringLiteral("Socket send aborted"));
    }
}

// The text goes out up to its first zero byte.
void TSocketClient::Write(const QByteArray &text) {
    ReportStatus(8, QStringLiteral("Write"));
    const qsizetype zero = text.indexOf('\0');
    const qint64 length = zero < 0 ? text.size() : zero;
    if (length == 0) return;
    SendBuffer(text.constData(), length);
}

void TSocketClient::Writeln(const QByteArray &text) {
    ReportStatus(8, QStringLiteral("Writeln"));
    Write(text + "\r\n");
}

void TSocketClient::SendFile(const QString &fileName) {
    ReportStatus(8, QStringLiteral("SendFile"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) fileError(QStringLiteral("Cannot open file"), file);
    while (!m_canceled && !file.atEnd()) {
        const qint64 n = file.read(m_buffer.data(), kBufferSize);
        if (n < 0) fileError(QStringLiteral("Cannot read file"), file);
        if (n == 0) break;
        sendAll(m_buffer.constData(), n, true);
    }
    file.close();
    if (m_canceled) {
        m_canceled = false;
        throw EAbortError(QStringLiteral("Socket send aborted"));
    }
}

// The next line with its LF (and any CR before it); nothing after the LF is taken off the
// socket. A line longer than the work buffer comes back in pieces of kBufferSize bytes without
// a terminator, the last piece with it. An empty result means the peer has closed; the part of
// an unfinished line is dropped then. Called inside a longer wait whose limit already runs (a
// whole response header), the line counts against that limit instead of starting its own.
QByteArray TSocketClient::ReadLn() {
    ReportStatus(8, QStringLiteral("ReadLn"));
    QByteArray line;
    {
        const bool ownLimit = !m_timer.Enabled();
        if (ownLimit) TimerOn();
        struct LimitGuard {
            TSocketClient *owner;
            bool own;
            ~LimitGuard() {
                if (own) owner->TimerOff();
            }
        } guard{this, ownLimit};
        char *const buffer = m_buffer.data();
        for (;;) {
            const qint64 room = kBufferSize - line.size();
            if (room == 0) return line;
            const qint64 n = recvSome(buffer, room, true);
            if (n == 0) return {};
            if (n < 0) {
                if (m_lastErrorNo == kNotConnected) return {};
                CheckError(kWouldBlock);
                waitForEvent(true, false);
            } else {
                const char *lf = static_cast<const char *>(std::memchr(buffer, '\n', size_t(n)));
                // Take the peeked bytes, or only those up to and including the LF.
                const qint64 want = lf ? qint64(lf - buffer) + 1 : n;
                const qint64 got = recvSome(buffer, want, false);
                if (got < 0) {
                    if (m_lastErrorNo == kNotConnected) return {};
                    CheckError(kWouldBlock);
                } else {
                    line.append(buffer, got);
                    if (lf && got == want) return line;
                }
                QCoreApplication::processEvents();
            }
            if (m_canceled) break;
        }
    }
    m_canceled = false;
    throw EAbortError(QStringLiteral("Socket readln aborted"));
}

// Receives until the peer closes, an Abort, or room() asks for no more bytes (it returns how many
// it takes next, 0 for none), handing every block to sink.
void TSocketClient::receiveAll(const std::function<qint64()> &room,
                               const std::function<void(const char *, qint64)> &sink) {
    TimerOn();
    TimerGuard guard{this};
    while (!m_canceled) {
        const qint64 want = room();
        if (want <= 0) break;
        const qint64 n = recvSome(m_buffer.data(), want, false);
        if (n == 0) break;
        if (n < 0) {
            if (m_lastErrorNo == kNotConnected) break;
            CheckError(kWouldBlock);
            waitForEvent(true, false);
            continue;
        }
        sink(m_buffer.constData(), n);
        m_bytesRecvd += n;
        if (OnPacketRecvd) OnPacketRecvd(this);
        TimerOn();
        QCoreApplication::processEvents();
    }
}

void TSocketClient::CaptureFile(const QString &fileName, qint64 limit) {
    ReportStatus(8, QStringLiteral("CaptureFile"));
    m_bytesRecvd = 0;
    {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fileError(QStringLiteral("Cannot create file"), file);
        receiveAll(
            [&] { return limit < 0 ? qint64(kBufferSize) : qMin<qint64>(kBufferSize, limit - m_bytesRecvd); },
            [&file, this](const char *data, qint64 n) {
                if (file.write(data, n) != n) fileError(QStringLiteral("Cannot write file"), file);
            });
        file.close();
    }
    if (m_canceled) {
        m_canceled = false;
        throw EAbortError(QStringLiteral("Socket send aborted"));
    }
}

// Receives until the peer closes or text holds limit bytes (-1: no limit).
void TSocketClient::CaptureString(QByteArray &text, qint64 limit) {
    ReportStatus(8, QStringLiteral("Capture String"));
    text.clear();
    m_bytesRecvd = 0;
    receiveAll([&] { return limit < 0 ? qint64(kBufferSize) : qMin<qint64>(kBufferSize, limit - text.size()); },
               [&text](const char *data, qint64 n) { text.append(data, n); });
    if (m_canceled) {
        m_canceled = false;
        throw EAbortError(QStringLiteral("Socket capture aborted"));
    }
}

QByteArray TSocketClient::Transaction(const QByteArray &line) {
    ReportStatus(8, QStringLiteral("Transaction"));
    m_replyNumber = 0;
    Writeln(line);
    const QByteArray reply = ReadLn();
    m_lastReply = reply;
    if (!reply.isEmpty()) {
        ReportStatus(1, QString::fromLatin1(reply));
        qint64 number = 0;
        int digits = 0;
        while (digits < reply.size() && digits < 10 && reply[digits] >= '0' && reply[digits] <= '9')
            number = number * 10 + (reply[digits++] - '0');
        if (digits > 0) {
            if (number > 32767) throw Exception(QStringLiteral("Range check error"));
            m_replyNumber = qint16(number);
        }
    }
    return reply;
}

} // namespace tarv
