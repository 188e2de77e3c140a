// The HTTP client against servers on 127.0.0.1 that misbehave on purpose: headers without end,
// one enormous header line, a redirect loop and replies dripped a byte at a time. Every case
// must end with an exception of the client or a bounded result, with memory kept bounded.
#include "net/httpclient.h"
#include "scriptedserver.h"
#include "support/errorof.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

using namespace tarv;
using tarv::test::errorOf;
using tarv::test::Peer;
using tarv::test::ScriptedServer;
namespace sock = tarv::test::sock;

namespace {

// A field of /proc/self/status in kilobytes.
qint64 statusKb(const char *field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Measures how far the peak resident size of the process rises above its size at creation. Only
// Linux lets the peak be counted afresh; elsewhere nothing is measured (the growth reads as 0).
class PeakGrowth {
public:
    PeakGrowth() {
        // Writing 5 starts the peak count afresh from the current resident size.
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        if (reset.open(QIODevice::WriteOnly)) reset.write("5");
        m_start = statusKb("VmRSS:");
    }
    qint64 kilobytes() const { return statusKb("VmHWM:") - m_start; }

private:
    qint64 m_start = 0;
};

// Memory a hostile reply may cost the client at most; the replies below are far larger.
constexpr qint64 kPeakLimitKb = 16 * 1024;

// The client set up to fetch into a file of folder, as the program fetches its menu.
struct FileFetch {
    QTemporaryDir folder;
    THttpClient http;
    FileFetch() {
        http.InputFileMode = true;
        http.Body = folder.filePath(QStringLiteral("popup.txt"));
    }
    QString get(const ScriptedServer &server) {
        return errorOf([&] { http.Get(QStringLiteral("http://127.0.0.1:%1/popup.txt").arg(server.port())); });
    }
};

// A response header of exactly size bytes, blank line included.
QByteArray headerOfSize(qint64 size) {
    QByteArray h = "HTTP/1.0 200 OK\r\n";
    const QByteArray end = "\r\n";
    while (h.size() + end.size() < size) {
        const qint64 room = size - h.size() - end.size();
        const qint64 line = qMin<qint64>(room, 1000);
        // A filler line is at least "X:" and its terminator; a shorter rest lengthens the last one.
        if (line < 5) {
            h.insert(h.size() - 2, QByteArray(room, 'y'));
            break;
        }
        h += "X:" + QByteArray(line - 4, 'x') + "\r\n";
    }
    return h + end;
}

} // namespace

TEST(HostileServer, EndlessHeaderLinesAreCutOff) {
    ScriptedServer server([&](Peer &peer, int) {
        peer.readRequest();
        if (!peer.send("HTTP/1.0 200 OK\r\n")) return;
        // At most 64 MB, so that a client without a limit fails the test instead of hanging it.
        const QByteArray line = "X-Filler: " + QByteArray(90, 'f') + "\r\n";
        for (int i = 0; i < 64 * 1024 * 1024 / line.size(); ++i)
            if (!peer.send(line)) return;
        peer.send("\r\nbody");
    });
    FileFetch fetch;
    const PeakGrowth peak;
    EXPECT_EQ(fetch.get(server), "Response header too long");
    EXPECT_LT(peak.kilobytes(), kPeakLimitKb);
    EXPECT_FALSE(QFile::exists(fetch.http.Body));
    EXPECT_FALSE(fetch.http.isConnected());
}

TEST(HostileServer, AHeaderLineOfTenMegabytesIsCutOffInTextAndFileMode) {
    ScriptedServer server([&](Peer &peer, int) {
        peer.readRequest();
        if (!peer.send("HTTP/1.0 200 OK\r\nX-Big: ")) return;
        const QByteArray block(64 * 1024, 'b');
        for (int i = 0; i < 160; ++i)
            if (!peer.send(block)) return;
        peer.send("\r\n\r\nbody");
    });
    const QTemporaryDir folder;
    for (const bool headerToFile : {false, true}) {
        SCOPED_TRACE(headerToFile ? "header into a file" : "header into text");
        THttpClient http;
        http.OutputFileMode = headerToFile;
        http.Header = folder.filePath(QStringLiteral("head.txt"));
        const PeakGrowth peak;
        EXPECT_EQ(errorOf([&] { http.Get(QStringLiteral("http://127.0.0.1:%1/").arg(server.port())); }),
                  "Response header too long");
        EXPECT_LT(peak.kilobytes(), kPeakLimitKb);
        if (headerToFile) {
            EXPECT_LE(QFileInfo(http.Header).size(), THttpClient::kMaxHeaderSize);
        }
    }
}

TEST(HostileServer, HeaderLimitLetsTheLastAllowedByteThrough) {
    ScriptedServer server([&](Peer &peer, int n) {
        peer.readRequest();
        peer.send(headerOfSize(THttpClient::kMaxHeaderSize + n) + "body");
    });
    FileFetch fetch;
    EXPECT_EQ(fetch.get(server), "");
    EXPECT_EQ(fetch.http.ReplyNumber(), 200);
    EXPECT_EQ(tarv::test::readFile(fetch.http.Body), "body");
    EXPECT_EQ(fetch.get(server), "Response header too long");
}

TEST(HostileServer, RedirectLoopEndsAfterTheLastPass) {
    int port = 0;
    ScriptedServer server([&](Peer &peer, int n) {
        peer.readRequest();
        // Absolute and bare-name targets in turn, so that each pass names a new target.
        const QByteArray target =
            n % 2 ? QByteArray("again.txt") : "http://127.0.0.1:" + QByteArray::number(port) + "/loop";
        peer.send("HTTP/1.0 302 Found\r\nLocation: " + target + "\r\n\r\nmoved");
    });
    port = server.port();
    FileFetch fetch;
    EXPECT_EQ(fetch.get(server), "");
    EXPECT_EQ(fetch.http.ReplyNumber(), 302);
    EXPECT_EQ(server.connections(), THttpClient::kMaxPasses);
    EXPECT_EQ(tarv::test::readFile(fetch.http.Body), "moved");
}

// A server that sends sent at once, then dripped one byte a second, for at most 8 s.
struct DripCase {
    const char *name;
    QByteArray sent;
    QByteArray dripped;
    const char *error;
    int timeOut = 2000;
};

TEST(HostileServer, SlowDripEndsWhenTimeOutRunsOut) {
    const DripCase cases[] = {
        {"status line", "", "HTTP/1.0 200 OK\r\n\r\nbody", "Socket readln aborted"},
        // Each line of two bytes comes within the limit, but the header as a whole does not.
        {"header lines", "HTTP/1.0 200 OK\r\n", "X\nX\nX\nX\n\r\nbody", "Socket readln aborted", 2500},
        {"body", "HTTP/1.0 200 OK\r\n\r\n", "12345678", "Socket send aborted"},
    };
    for (const DripCase &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server([&](Peer &peer, int) {
            peer.readRequest();
            if (!peer.send(c.sent)) return;
            for (const char byte : c.dripped) {
                peer.pause(1000);
                if (!peer.send(QByteArray(1, byte))) return;
            }
        });
        FileFetch fetch;
        fetch.http.TimeOut = c.timeOut;
        EXPECT_EQ(fetch.get(server), c.error);
        EXPECT_FALSE(fetch.http.isConnected());
        server.stop();
    }
}

TEST(HostileServer, AnEndlessBodyIsCutOffAtTheCapInTextAndFileMode) {
    ScriptedServer server([&](Peer &peer, int) {
        peer.readRequest();
        if (!peer.send("HTTP/1.0 200 OK\r\n\r\n")) return;
        // At most 64 MB, so that a client without a cap fails the test instead of hanging it.
        const QByteArray block(64 * 1024, 'b');
        for (int i = 0; i < 1024; ++i)
            if (!peer.send(block)) return;
    });
    for (const bool toFile : {false, true}) {
        SCOPED_TRACE(toFile ? "body into a file" : "body into text");
        FileFetch fetch;
        fetch.http.InputFileMode = toFile;
        fetch.http.MaxBodySize = 256 * 1024;
        const PeakGrowth peak;
        EXPECT_EQ(fetch.get(server), "Response body too long");
        EXPECT_LT(peak.kilobytes(), kPeakLimitKb);
        EXPECT_LE(fetch.http.BytesRecvd(), 256 * 1024 + 1);
        if (toFile) {
            EXPECT_LE(QFileInfo(fetch.http.Body).size(), 256 * 1024 + 1);
        }
        EXPECT_FALSE(fetch.http.isConnected());
    }
    // A body of exactly the cap is whole.
    ScriptedServer exact([&](Peer &peer, int) {
        peer.readRequest();
        peer.send("HTTP/1.0 200 OK\r\n\r\n" + QByteArray(1000, 'e'));
    });
    FileFetch fetch;
    fetch.http.MaxBodySize = 1000;
    EXPECT_EQ(fetch.get(exact), "");
    EXPECT_EQ(QFileInfo(fetch.http.Body).size(), 1000);
}

TEST(HostileServer, ADripWithinEveryWaitEndsAtTheDeadline) {
    // A byte every 100 ms keeps every wait of 2 s alive; the command as a whole has 1 s.
    for (const QByteArray &sent : {QByteArray(), QByteArray("HTTP/1.0 200 OK\r\n\r\n")}) {
        ScriptedServer server([&](Peer &peer, int) {
            peer.readRequest();
            if (!peer.send(sent)) return;
            for (int i = 0; i < 150; ++i) {
                peer.pause(100);
                if (!peer.send(sent.isEmpty() ? "X" : "b")) return;
            }
        });
        FileFetch fetch;
        fetch.http.TimeOut = 2000;
        fetch.http.Deadline = 1000;
        EXPECT_EQ(fetch.get(server), "Transfer time limit reached");
        EXPECT_FALSE(fetch.http.isConnected());
        server.stop();
    }
}

TEST(HostileServer, TheApplicationsQuitEndsAWaitingCommand) {
    // A server that answers nothing, and a client without any time limit: only the quit ends it.
    ScriptedServer server([&](Peer &peer, int) {
        peer.readRequest();
        peer.holdOpen();
    });
    FileFetch fetch;
    QString error = QStringLiteral("(not run)");
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(300, qApp, &QCoreApplication::quit);
        error = fetch.get(server);
    });
    // Stops a client that ignores the quit, so that the test fails rather than hangs.
    QTimer stopper;
    stopper.setSingleShot(true);
    QObject::connect(&stopper, &QTimer::timeout, [&] { server.stop(); });
    stopper.start(15000);
    QCoreApplication::exec();
    EXPECT_EQ(error, "Transfer ended: the program is closing");
    EXPECT_TRUE(fetch.http.endedByQuit());
    EXPECT_FALSE(QFile::exists(fetch.http.Body));
}

// The client can take over one end of a socket pair, so a reply is fed to it without a server.
TEST(AdoptedSocket, ReadsAResponseHeaderFedThroughASocketPair) {
    sock::Fd pair[2];
    ASSERT_TRUE(sock::connectedPair(pair));
    const QByteArray reply = "HTTP/1.0 301 Moved\r\nLocation: /next\r\nSet-Cookie: a=b\r\n"
                             "Content-Length: 4\r\n\r\nrest";
    ASSERT_EQ(::send(pair[1], reply.constData(), int(reply.size()), 0), reply.size());
    sock::close(pair[1]);
    THttpClient http;
    http.adoptConnected(native::Handle(pair[0]));
    EXPECT_TRUE(http.isConnected());
    http.ReadResponseHeader();
    EXPECT_EQ(http.ReplyNumber(), 301);
    EXPECT_EQ(http.redirectLocation(), "/next");
    EXPECT_EQ(http.responseCookie(), "a=b");
    EXPECT_EQ(http.BytesTotal(), 4);
    QByteArray body;
    http.CaptureString(body, -1);
    EXPECT_EQ(body, "rest");
    http.Disconnect();
    EXPECT_FALSE(http.isConnected());
}

// A bare CR inside a redirect's target never reaches the next request.
TEST(AdoptedSocket, ControlCharactersInHeaderValuesAreDropped) {
    sock::Fd pair[2];
    ASSERT_TRUE(sock::connectedPair(pair));
    const QByteArray reply = "HTTP/1.0 302 Found\r\nLocation: /a\rX-Injected: 1\r\n"
                             "Set-Cookie: a=b\x01" "c\r\n\r\n";
    ASSERT_EQ(::send(pair[1], reply.constData(), int(reply.size()), 0), reply.size());
    sock::close(pair[1]);
    THttpClient http;
    http.adoptConnected(native::Handle(pair[0]));
    http.ReadResponseHeader();
    EXPECT_EQ(http.redirectLocation(), "/aX-Injected: 1");
    EXPECT_EQ(http.responseCookie(), "a=bc");
    http.Disconnect();
}

// A line longer than the socket's work buffer arrives in pieces; a last piece of a bare CR LF
// must not end the header, and what follows the long line stays header, not body.
TEST(AdoptedSocket, AHeaderLineLongerThanTheWorkBufferIsOneLine) {
    sock::Fd pair[2];
    ASSERT_TRUE(sock::connectedPair(pair));
    QByteArray longLine = "X-Long: ";
    longLine += QByteArray(TSocketClient::kBufferSize - longLine.size(), 'v');
    const QByteArray reply = "HTTP/1.0 302 Found\r\n" + longLine + "\r\nLocation: /after\r\n\r\nbody";
    std::thread feeder([&] {
        qint64 sent = 0;
        while (sent < reply.size()) {
            const auto n = ::send(pair[1], reply.constData() + sent, int(reply.size() - sent), 0);
            if (n <= 0) break;
            sent += n;
        }
        sock::close(pair[1]);
    });
    THttpClient http;
    http.adoptConnected(native::Handle(pair[0]));
    http.ReadResponseHeader();
    QByteArray body;
    http.CaptureString(body, -1);
    feeder.join();
    EXPECT_EQ(http.redirectLocation(), "/after");
    EXPECT_TRUE(http.Header.endsWith("\r\nLocation: /after\r\n\r\n"));
    EXPECT_EQ(body, "body");
    http.Disconnect();
}
