#pragma once

#include <QByteArray>
#include <QList>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tarv::test {

// The few socket calls the servers make, on POSIX sockets or on Winsock.
namespace sock {
#ifdef _WIN32
using Fd = SOCKET;
constexpr Fd kNone = INVALID_SOCKET;
using Length = int;
constexpr int kNoSignal = 0;
inline void close(Fd fd) { ::closesocket(fd); }
inline bool readable(Fd fd, int ms) {
    WSAPOLLFD p{fd, POLLRDNORM, 0};
    return ::WSAPoll(&p, 1, ms) > 0;
}
// Winsock serves a process only after it has been started there; the count it keeps makes a
// start per server harmless.
inline void start() {
    WSADATA data{};
    ::WSAStartup(MAKEWORD(2, 2), &data);
}
#else
using Fd = int;
constexpr Fd kNone = -1;
using Length = socklen_t;
constexpr int kNoSignal = MSG_NOSIGNAL;
inline void close(Fd fd) { ::close(fd); }
inline bool readable(Fd fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}
inline void start() {}
#endif

// Two connected stream sockets over 127.0.0.1, to feed a peer's bytes to a client without a
// server thread; false when the system refuses.
inline bool connectedPair(Fd pair[2]) {
    start();
    pair[0] = pair[1] = kNone;
    const Fd listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Length length = sizeof a;
    bool ok = listener != kNone && ::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
              ::listen(listener, 1) == 0 &&
              ::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &length) == 0;
    if (ok) pair[0] = ::socket(AF_INET, SOCK_STREAM, 0);
    ok = ok && pair[0] != kNone && ::connect(pair[0], reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    if (ok) pair[1] = ::accept(listener, nullptr, nullptr);
    if (listener != kNone) close(listener);
    return ok && pair[1] != kNone;
}
} // namespace sock

// One accepted connection as a script sees it.
class Peer {
public:
    Peer(sock::Fd fd, const std::atomic<bool> &stopping) : m_fd(fd), m_stopping(stopping) {}

    // Sends all bytes; false when the client has gone (or the server is being stopped).
    bool send(const QByteArray &bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const auto n = ::send(m_fd, bytes.constData() + done, int(bytes.size() - done), sock::kNoSignal);
            if (n <= 0) return false;
            done += n;
        }
        return !m_stopping;
    }
    // Reads until the blank line that ends a request header (or the client closes).
    QByteArray readRequest() {
        QByteArray got;
        while (waitReadable(5000)) {
            char buf[65536];
            const auto n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            got.append(buf, n);
            // Only the new bytes (and the three before them) can complete the blank line.
            if (got.right(n + 3).contains("\r\n\r\n")) break;
        }
        return got;
    }
    // Reads whatever arrives until the line is quiet for ms milliseconds.
    QByteArray readQuiet(int ms) {
        QByteArray got;
        while (waitReadable(ms)) {
            char buf[65536];
            const auto n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            got.append(buf, n);
        }
        return got;
    }
    // Sleeps for ms milliseconds, or less when the server is being stopped.
    void pause(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!m_stopping && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Keeps the connection open and silent until the client closes it or the server is stopped.
    void holdOpen() {
        while (!m_stopping) {
            if (waitReadable(10)) {
                char buf[4096];
                if (::recv(m_fd, buf, sizeof buf, 0) <= 0) return;
            }
        }
    }

private:
    bool waitReadable(int ms) { return sock::readable(m_fd, ms); }

    sock::Fd m_fd;
    const std::atomic<bool> &m_stopping;
};

// A TCP server on a free 127.0.0.1 port whose thread runs a script for each connection it
// accepts, then closes that connection. What each script read with readRequest is kept.
class ScriptedServer {
public:
    using Script = std::function<void(Peer &, int connection)>;

    explicit ScriptedServer(Script script) : m_script(std::move(script)) {
        sock::start();
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&one), sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(m_listen, 8);
        sock::Length len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~ScriptedServer() { stop(); }

    void stop() {
        m_stopping = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_listen != sock::kNone) sock::close(m_listen);
        m_listen = sock::kNone;
    }
    int port() const { return m_port; }
    int connections() const { return m_accepted; }
    QList<QByteArray> requests() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

    // A script's helper: reads the request and keeps it.
    QByteArray take(Peer &peer) {
        const QByteArray r = peer.readRequest();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.append(r);
        return r;
    }

    // A port on 127.0.0.1 with nothing listening on it.
    static int closedPort() {
        sock::start();
        const sock::Fd s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
        sock::Length len = sizeof a;
        ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len);
        sock::close(s);
        return ntohs(a.sin_port);
    }

private:
    void run() {
        // A connection already waiting when the server is stopped is still served.
        for (;;) {
            if (!sock::readable(m_listen, 20)) {
                if (m_stopping) break;
                continue;
            }
            const sock::Fd fd = ::accept(m_listen, nullptr, nullptr);
            if (fd == sock::kNone) continue;
            Peer peer(fd, m_stopping);
            m_script(peer, m_accepted++);
            sock::close(fd);
        }
    }

    Script m_script;
    sock::Fd m_listen = sock::kNone;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_accepted{0};
    std::mutex m_mutex;
    QList<QByteArray> m_requests;
    std::thread m_thread;
};

} // namespace tarv::test
