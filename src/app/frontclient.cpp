#include "app/frontclient.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tarv::front {

namespace {

using Clock = std::chrono::steady_clock;

// The answer's first line is short; a longer one without its end is not an answer.
constexpr std::size_t kMaxHeader = 64;

// A socket closed on every way out of askProgram.
struct Socket {
    int fd = -1;
    ~Socket() {
        if (fd >= 0) ::close(fd);
    }
};

// Waits until the socket is ready for events, an error or its end; false when the deadline passes
// first. The wait is for the time left, so that a program that keeps the front waiting a little
// at a time still cannot keep it beyond the deadline.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

bool connectTo(int fd, const std::string &path, Clock::time_point deadline) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) return true;
    // A local connection is made or refused at once; a program too busy to take it (a full
    // backlog) is not waited for. Should the system still report one as under way, it gets the
    // deadline like the rest of the exchange.
    if (errno != EINPROGRESS || !waitFor(fd, POLLOUT, deadline)) return false;
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

// Sends all of bytes. MSG_NOSIGNAL: a program that closes early must not end the front by SIGPIPE.
bool sendAll(int fd, const std::string &bytes, Clock::time_point deadline) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += std::size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, deadline)) return false;
        } else {
            return false;
        }
    }
    return true;
}

// A length or status of the answer: decimal digits only, at most max.
bool parseNumber(const std::string &text, std::size_t max, std::size_t &value) {
    if (text.empty() || text.size() > 9) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + std::size_t(c - '0');
    }
    return value <= max;
}

enum class Header { Incomplete, Decline, Done, Malformed };

// Reads the answer's first line from the start of received: "decline", or "done" with the exit
// status and the lengths of the output and the errors, which then follow the line.
Header readHeader(const std::string &received, Answer &answer, std::size_t &outLength, std::size_t &total) {
    const std::size_t end = received.find('\n');
    if (end == std::string::npos) return received.size() > kMaxHeader ? Header::Malformed : Header::Incomplete;
    const std::string line = received.substr(0, end);
    if (line == "decline") return Header::Decline;
    const std::string prefix = "done ";
    if (line.compare(0, prefix.size(), prefix) != 0) return Header::Malformed;
    std::string fields[3];
    std::size_t start = prefix.size();
    for (int i = 0; i < 3; ++i) {
        const std::size_t space = i < 2 ? line.find(' ', start) : line.size();
        if (space == std::string::npos) return Header::Malformed;
        fields[i] = line.substr(start, space - start);
        start = space + 1;
    }
    std::size_t exitStatus = 0, errLength = 0;
    if (!parseNumber(fields[0], 255, exitStatus) || !parseNumber(fields[1], kMaxAnswer, outLength) ||
        !parseNumber(fields[2], kMaxAnswer, errLength) || outLength + errLength > kMaxAnswer)
        return Header::Malformed;
    answer.exitStatus = int(exitStatus);
    total = end + 1 + outLength + errLength;
    return Header::Done;
}

} // namespace

std::string commandPayload(const std::string &dataFolder, int argc, char **argv, GetEnv env) {
    std::string payload = dataFolder;
    payload.push_back('\0');
    for (const char *name : kCommandVariables) {
        if (const char *value = env(name)) payload.append("=").append(value);
        payload.push_back('\0');
    }
    for (int i = 1; i < argc; ++i) {
        payload.append(argv[i]);
        payload.push_back('\0');
    }
    return payload;
}

std::optional<Answer> askProgram(const std::string &socketPath, const std::string &payload,
                                 std::chrono::milliseconds deadline) {
    if (payload.size() > kMaxPayload) return std::nullopt;
    const Clock::time_point end = Clock::now() + deadline;
    Socket socket;
    socket.fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket.fd < 0 || !connectTo(socket.fd, socketPath, end)) return std::nullopt;
    const std::string request =
        "command " + std::to_string(payload.size()) + '\n' + payload + std::string(kCommandPadding, '\0');
    if (!sendAll(socket.fd, request, end)) return std::nullopt;

    // The answer is gathered whole before anything of it is used: a program that stops halfway
    // leaves the front free to run the command itself, with nothing printed twice.
    Answer answer;
    std::string received;
    std::size_t outLength = 0, total = 0;
    bool headerRead = false;
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::recv(socket.fd, chunk, sizeof chunk, 0);
        if (n == 0) return std::nullopt; // closed before the whole answer came
        if (n < 0) {
            if (errno == EINTR) continue;
            if ((errno != EAGAIN && errno != EWOULDBLOCK) || !waitFor(socket.fd, POLLIN, end)) return std::nullopt;
            continue;
        }
        received.append(chunk, std::size_t(n));
        if (!headerRead) {
            const Header header = readHeader(received, answer, outLength, total);
            if (header == Header::Incomplete) continue;
            if (header != Header::Done) return std::nullopt;
            headerRead = true;
        }
        // More than the line announced is not the answer of a program that follows the exchange.
        if (received.size() > total) return std::nullopt;
        if (received.size() == total) break;
    }
    const std::size_t body = received.find('\n') + 1;
    answer.out = received.substr(body, outLength);
    answer.err = received.substr(body + outLength);
    return answer;
}

} // namespace tarv::front
