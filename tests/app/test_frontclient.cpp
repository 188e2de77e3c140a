// The front's side of the running program's quick answer: the command it sends, and an answer it
// takes only when it is whole, well formed and in time.

#include "app/frontclient.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
using tarv::front::askProgram;

namespace {

// A stand-in for the running program: takes one connection, reads the command whole, sends the
// pieces of its answer with a pause after each, and closes at once or, when told to hold, once
// the front has closed its end. It stops sending when the front has gone.
class FakeProgram {
public:
    explicit FakeProgram(std::vector<std::string> pieces, bool hold = false, std::chrono::milliseconds pause = 0ms) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path().c_str());
        m_listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listener, 1);
        m_thread = std::thread([=] { serve(pieces, hold, pause); });
    }
    ~FakeProgram() {
        ::shutdown(m_listener, SHUT_RDWR); // wakes an accept that no front came to
        if (m_thread.joinable()) m_thread.join();
        ::close(m_listener);
    }
    std::string path() const { return m_folder.path().toStdString() + "/p.sock"; }
    std::string request() {
        m_thread.join();
        return m_request;
    }

private:
    void serve(const std::vector<std::string> &pieces, bool hold, std::chrono::milliseconds pause) {
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0) return;
        char buffer[4096];
        for (ssize_t n; !whole(m_request) && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            m_request.append(buffer, std::size_t(n));
        for (const std::string &piece : pieces) {
            if (::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL) < 0) break;
            std::this_thread::sleep_for(pause);
        }
        while (hold && ::recv(fd, buffer, 1, 0) > 0) {}
        ::close(fd);
    }
    // "command <n>\n", n bytes and the padding.
    static bool whole(const std::string &request) {
        const std::size_t end = request.find('\n');
        return end != std::string::npos && request.size() >= end + 1 + std::stoul(request.substr(8)) + tarv::kCommandPadding;
    }

    QTemporaryDir m_folder;
    int m_listener = -1;
    std::string m_request;
    std::thread m_thread;
};

const char *fakeEnvironment(const char *name) {
    if (std::strcmp(name, "LANG") == 0) return "el_GR.UTF-8";
    return std::strcmp(name, "TZ") == 0 ? "" : nullptr;
}

TEST(FrontClient, SendsTheCommandWholeAndTakesTheAnswerInPieces) {
    char *argv[] = {const_cast<char *>("tarv"), const_cast<char *>("--report"), const_cast<char *>("--year"),
                    const_cast<char *>("2003")};
    const std::string payload = tarv::front::commandPayload("/home/u/.local/share/tarv", 4, argv, fakeEnvironment);
    const char expected[] = "/home/u/.local/share/tarv\0\0\0\0\0\0=el_GR.UTF-8\0=\0--report\0--year\0"
                            "2003"; // and the literal's own NUL
    EXPECT_EQ(payload, std::string(expected, sizeof expected));

    FakeProgram program({"done 3 6 4\nhel", "lo\n", "errs"}, false, 20ms);
    const auto answer = askProgram(program.path(), payload, 3s);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->exitStatus, 3);
    EXPECT_EQ(answer->out, "hello\n");
    EXPECT_EQ(answer->err, "errs");
    EXPECT_EQ(program.request(), "command 67\n" + payload + std::string(tarv::kCommandPadding, '\0'));
}

TEST(FrontClient, AnythingButAWholeWellFormedAnswerIsNone) {
    for (const std::vector<std::string> &answer :
         {std::vector<std::string>{"decline\n"}, {"done 0 10 0\nshort"}, {"done 0 2 0\nlonger"}, {"done 256 0 0\n"},
          {"done 0 -1 0\n"}, {"done 0 1 \n"}, {"hello\n"}, {std::string(100, 'x')}, {}}) {
        FakeProgram program(answer);
        EXPECT_FALSE(askProgram(program.path(), "x", 3s)) << (answer.empty() ? "" : answer.front());
    }
    EXPECT_FALSE(askProgram("/nonexistent/p.sock", "x", 3s));
    FakeProgram unasked({});
    EXPECT_FALSE(askProgram(unasked.path(), std::string(tarv::front::kMaxPayload + 1, 'x'), 3s));
}

TEST(FrontClient, TheDeadlineHoldsForTheWholeExchangeNotEachRead) {
    // One that announces too long an answer is not waited for; one that stops halfway and one that
    // sends a byte at a time, never idle for long, are given up at the deadline.
    std::vector<std::string> drops(1000, "d");
    drops.front() = "done 0 1000 0\n";
    FakeProgram tooLong({"done 0 16777216 1\n"}, true), stalled({"done 0 10 0\nabc"}, true), dripping(drops, true, 10ms);
    for (auto [program, deadline, least] : {std::tuple{&tooLong, 3000ms, 0ms}, {&stalled, 300ms, 290ms},
                                            {&dripping, 300ms, 290ms}}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(askProgram(program->path(), "x", deadline));
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, least);
        EXPECT_LT(took, least + 1s);
    }
}

} // namespace
