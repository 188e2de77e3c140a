#include "net/nativesocket.h"
#include "net/socketclient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarv {

namespace native {

bool startup(QStringList &info, int &error) {
    error = 0;
    info = {QStringLiteral("Version= 1.1"),
            QStringLiteral("High Version= 1.1"),
            QStringLiteral("Description= POSIX sockets"),
            QStringLiteral("System= Running"),
            QStringLiteral("Max Sockets= %1").arg(sysconf(_SC_OPEN_MAX)),
            QStringLiteral("Max Udp pack size= 65507")};
    return true;
}

void cleanup() {}

Handle openStream(int &error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        error = errno;
        return kInvalid;
    }
    linger off{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    return fd;
}

void adopt(Handle socket) {
    const int fd = int(socket);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

int close(Handle socket) {
    return ::close(int(socket)) == 0 ? 0 : errno;
}

int connectTo(Handle socket, quint32 address, quint16 port) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = htonl(address);
    remote.sin_port = htons(port);
    return ::connect(int(socket), reinterpret_cast<const sockaddr *>(&remote), sizeof remote) == 0 ? 0 : errno;
}

int pendingError(Handle socket) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(int(socket), SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    return error;
}

const int kConnectCheckMs = 0;

int connectState(Handle socket, int &error) {
    pollfd p{int(socket), POLLOUT, 0};
    if (::poll(&p, 1, 0) <= 0) return 0;
    error = pendingError(socket);
    return error == 0 ? 1 : -1;
}

qint64 receive(Handle socket, char *into, qint64 max, bool peek, int &error) {
    const ssize_t r = ::recv(int(socket), into, size_t(max), peek ? MSG_PEEK : 0);
    if (r < 0) error = errno;
    return r;
}

qint64 send(Handle socket, const char *data, qint64 length, int &error) {
    // A peer that has gone is an error of the call, not a signal that ends the program.
    const ssize_t r = ::send(int(socket), data, size_t(length), MSG_NOSIGNAL);
    if (r < 0) error = errno;
    return r;
}

bool parseNumeric(const QString &text, quint32 &address) {
    in_addr parsed{};
    if (text.isEmpty() || ::inet_aton(text.toLatin1().constData(), &parsed) == 0) return false;
    address = ntohl(parsed.s_addr);
    return true;
}

} // namespace native

int TSocketClient::mapPlatformError(int platformError) {
    switch (platformError) {
    case 0:
        return 0;
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
        return 10024;
    case EAGAIN:
        return 10035;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
        return 10035;
#endif
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
        return 10054;
    case ENOBUFS:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
        return 10058;
    case EPIPE:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    case EUSERS:
        return 10068;
    case EDQUOT:
        return 10069;
    case ESTALE:
        return 10070;
    case EREMOTE:
        return 10071;
    default:
        return native::kUnmappedBase + platformError;
    }
}

} // namespace tarv
