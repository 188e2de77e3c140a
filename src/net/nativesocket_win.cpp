#include "net/nativesocket.h"
#include "net/socketclient.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>

#ifndef WSA_FLAG_NO_HANDLE_INHERIT
#define WSA_FLAG_NO_HANDLE_INHERIT 0x80
#endif

namespace tarv {

namespace native {

namespace {

SOCKET sock(Handle socket) {
    return SOCKET(socket);
}

} // namespace

bool startup(QStringList &info, int &error) {
    WSADATA data{};
    error = ::WSAStartup(MAKEWORD(2, 2), &data);
    if (error != 0) return false;
    const auto version = [](WORD v) { return QStringLiteral("%1.%2").arg(LOBYTE(v)).arg(HIBYTE(v)); };
    info = {QStringLiteral("Version= ") + version(data.wVersion),
            QStringLiteral("High Version= ") + version(data.wHighVersion),
            QStringLiteral("Description= ") + QString::fromLocal8Bit(data.szDescription),
            QStringLiteral("System= ") + QString::fromLocal8Bit(data.szSystemStatus),
            // Winsock 2 no longer limits these; the figures are those it is known to hold.
            QStringLiteral("Max Sockets= %1").arg(data.iMaxSockets ? int(data.iMaxSockets) : 32767),
            QStringLiteral("Max Udp pack size= %1").arg(data.iMaxUdpDg ? int(data.iMaxUdpDg) : 65467)};
    return true;
}

void cleanup() {
    ::WSACleanup();
}

Handle openStream(int &error) {
    // Not inherited by child processes; systems too old for the flag get an ordinary socket.
    SOCKET s = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                            WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) s = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
    if (s == INVALID_SOCKET) {
        error = ::WSAGetLastError();
        return kInvalid;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    linger off{1, 0};
    ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&off), sizeof off);
    return Handle(s);
}

void adopt(Handle socket) {
    u_long nonBlocking = 1;
    ::ioctlsocket(sock(socket), FIONBIO, &nonBlocking);
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
}

int close(Handle socket) {
    return ::closesocket(sock(socket)) == 0 ? 0 : ::WSAGetLastError();
}

int connectTo(Handle socket, quint32 address, quint16 port) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = htonl(address);
    remote.sin_port = htons(port);
    return ::connect(sock(socket), reinterpret_cast<const sockaddr *>(&remote), sizeof remote) == 0
               ? 0
               : ::WSAGetLastError();
}

int pendingError(Handle socket) {
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(sock(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &size) != 0)
        error = ::WSAGetLastError();
    return error;
}

const int kConnectCheckMs = 50;

int connectState(Handle socket, int &error) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(sock(socket), &writable);
    FD_SET(sock(socket), &failed);
    timeval now{0, 0};
    if (::select(0, nullptr, &writable, &failed, &now) <= 0) return 0;
    if (FD_ISSET(sock(socket), &failed)) {
        error = pendingError(socket);
        if (error == 0) error = WSAECONNREFUSED;
        return -1;
    }
    error = 0;
    return 1;
}

qint64 receive(Handle socket, char *into, qint64 max, bool peek, int &error) {
    const int r = ::recv(sock(socket), into, int(qMin<qint64>(max, INT_MAX)), peek ? MSG_PEEK : 0);
    if (r == SOCKET_ERROR) {
        error = ::WSAGetLastError();
        return -1;
    }
    return r;
}

qint64 send(Handle socket, const char *data, qint64 length, int &error) {
    const int r = ::send(sock(socket), data, int(qMin<qint64>(length, INT_MAX)), 0);
    if (r == SOCKET_ERROR) {
        error = ::WSAGetLastError();
        return -1;
    }
    return r;
}

bool parseNumeric(const QString &text, quint32 &address) {
    if (text.isEmpty()) return false;
    const QByteArray latin = text.toLatin1();
    const unsigned long parsed = ::inet_addr(latin.constData());
    // The call cannot tell the broadcast address from a failure: the text decides.
    if (parsed == INADDR_NONE && latin.trimmed() != "255.255.255.255") return false;
    address = ntohl(parsed);
    return true;
}

} // namespace native

// Winsock's error numbers are the component's own.
int TSocketClient::mapPlatformError(int platformError) {
    if (platformError == 0) return 0;
    if (platformError > 10000 && platformError < 12000) return platformError;
    return native::kUnmappedBase + platformError;
}

} // namespace tarv
