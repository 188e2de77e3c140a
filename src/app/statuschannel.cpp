#include "app/statuschannel.h"

#include "app/statusclient.h"
#include "framework/instancepaths.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tarv {

namespace {

constexpr short kClosed = POLLERR | POLLHUP | POLLNVAL;

// Waits on fds, again after a signal.
int pollFor(pollfd *fds, nfds_t count, int timeoutMs) {
    for (;;) {
        const int n = ::poll(fds, count, timeoutMs);
        if (n >= 0 || errno != EINTR) return n;
    }
}

} // namespace

StatusChannel::~StatusChannel() {
    if (m_fd >= 0) ::close(m_fd);
}

bool StatusChannel::open(const QString &path) {
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (native.isEmpty() || native.size() >= qsizetype(sizeof address.sun_path)) return false;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    // Non-blocking: a program whose queue of connections is full is not waited for.
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    return m_fd >= 0 && ::connect(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

bool StatusChannel::send(const char *request) {
    const size_t size = std::strlen(request);
    // A request is a few bytes into an empty socket buffer: it goes in one call or not at all.
    return ::send(m_fd, request, size, MSG_NOSIGNAL) == ssize_t(size);
}

void StatusChannel::drain() {
    char chunk[4096];
    while (!overflowing()) {
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n > 0) {
            m_buffer.append(chunk, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // Nothing more for now, or the end of the stream (0) or an error.
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) m_ended = true;
            return;
        }
    }
}

bool StatusChannel::receive(int timeoutMs) {
    pollfd fd{m_fd, POLLIN, 0};
    if (pollFor(&fd, 1, timeoutMs) <= 0) return false;
    const qsizetype before = m_buffer.size();
    drain();
    return m_buffer.size() > before;
}

std::optional<QByteArray> StatusChannel::takeLine() {
    const qsizetype end = m_buffer.indexOf('\n');
    if (end < 0) return std::nullopt;
    QByteArray line = m_buffer.left(end);
    m_buffer.remove(0, end + 1);
    return line;
}

bool StatusChannel::overflowing() const {
    return m_buffer.size() > kMaxStatusLine && !m_buffer.contains('\n');
}

bool writeOutputLine(const QString &text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd fd{STDOUT_FILENO, POLLOUT, 0};
            if (pollFor(&fd, 1, -1) < 0 || (fd.revents & kClosed)) return false;
        } else {
            return false; // EPIPE among others: the reader has gone
        }
    }
    return true;
}

StatusWatch::StatusWatch(const QString &dataFolder) {
    // A closed output is seen as EPIPE, not as a signal that ends the process mid-line.
    ::signal(SIGPIPE, SIG_IGN);
    const InstancePaths paths = instancePaths(dataFolder, true);
    if (!paths.error.isEmpty()) {
        m_error = paths.error;
        return;
    }
    m_socket = paths.socket;
    m_socketName = QFile::encodeName(QFileInfo(m_socket).fileName());
    // Watched from the start, so that a program starting between a failed connection and the
    // wait is not missed.
    m_notify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    const QByteArray folder = QFile::encodeName(QFileInfo(m_socket).absolutePath());
    if (m_notify < 0 || ::inotify_add_watch(m_notify, folder.constData(), IN_CREATE | IN_MOVED_TO) < 0)
        m_error = QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(folder), QString::fromLocal8Bit(std::strerror(errno)));
}

StatusWatch::~StatusWatch() {
    if (m_notify >= 0) ::close(m_notify);
}

bool StatusWatch::connect(StatusChannel &channel) {
    return channel.open(m_socket) && channel.send("watch\n");
}

StatusWatch::Event StatusWatch::waitForLine(StatusChannel &channel) {
    for (;;) {
        if (channel.overflowing()) return Event::ProgramEnded;
        if (channel.hasLine()) return Event::Lines;
        if (channel.ended()) return Event::ProgramEnded;
        pollfd fds[2] = {{channel.fd(), POLLIN, 0}, {STDOUT_FILENO, 0, 0}};
        if (pollFor(fds, 2, -1) < 0) return Event::OutputClosed;
        if (fds[1].revents & kClosed) return Event::OutputClosed;
        if (fds[0].revents != 0) channel.drain();
    }
}

bool StatusWatch::waitForProgram() {
    for (;;) {
        pollfd fds[2] = {{m_notify, POLLIN, 0}, {STDOUT_FILENO, 0, 0}};
        if (pollFor(fds, 2, -1) < 0 || (fds[1].revents & kClosed)) return false;
        alignas(inotify_event) char events[4096];
        bool appeared = false;
        ssize_t n;
        while ((n = ::read(m_notify, events, sizeof events)) > 0) {
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(events + at);
                if (event->len > 0 && m_socketName == event->name) appeared = true;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        if (!appeared) continue;
        // The socket's file appears just before the program listens on it: a connection refused
        // at that moment is tried again a few times.
        for (int attempt = 0; attempt < 20; ++attempt) {
            StatusChannel probe;
            if (probe.open(m_socket)) return true;
            QThread::msleep(25);
        }
    }
}

} // namespace tarv
