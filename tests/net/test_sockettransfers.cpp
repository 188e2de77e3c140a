#include "net/socketclient.h"
#include "scriptedserver.h"
#include "support/tempdir.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::Peer;
using tarv::test::ScriptedServer;

namespace {

// Arrivals: each chunk is sent after a short pause, then the server closes.
ScriptedServer::Script sendChunks(QList<QByteArray> chunks, int pauseMs = 30) {
    return [chunks, pauseMs](Peer &peer, int) {
        for (const QByteArray &c : chunks) {
            peer.pause(pauseMs);
            peer.send(c);
        }
        peer.pause(pauseMs);
    };
}

void connectTo(TSocketClient &c, const ScriptedServer &server) {
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.Connect();
}

QByteArrayList readLines(TSocketClient &c, int count) {
    QByteArrayList lines;
    for (int i = 0; i < count; ++i)
        lines << c.ReadLn();
    return lines;
}

} // namespace

struct LineCase {
    const char *name;
    QList<QByteArray> chunks;
    QByteArrayList expected; // an empty line is the peer's close
};

// Keeps the test names that ctest lists free of the parameter's bytes.
void PrintTo(const LineCase &c, std::ostream *os) {
    *os << c.name;
}

class ReadLnCases : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReadLnCases, ReturnsEachLineWithItsTerminator) {
    const LineCase &tc = GetParam();
    ScriptedServer server(sendChunks(tc.chunks));
    TSocketClient c;
    connectTo(c, server);
    EXPECT_EQ(readLines(c, int(tc.expected.size())), tc.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadLnCases,
    ::testing::Values(LineCase{"LfAndCrLf", {"one\r\ntwo\nthree\r\n"}, {"one\r\n", "two\n", "three\r\n", ""}},
                      LineCase{"SplitOverArrivals",
                               {"par", "tial li", "ne\r", "\nnext\n"},
                               {"partial line\r\n", "next\n", ""}},
                      LineCase{"LastLineWithoutLfThenClose", {"x\n", "no-lf"}, {"x\n", ""}},
                      LineCase{"OneByteBlocks", {"a", "b", "\n", "c", "\r", "\n"}, {"ab\n", "c\r\n", ""}},
                      LineCase{"EmptyLines", {"\n\r\n\n"}, {"\n", "\r\n", "\n", ""}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReadLn, LeavesBytesAfterTheLfForTheNextRead) {
    ScriptedServer server(sendChunks({"status\nrest of the data\nand more"}));
    TSocketClient c;
    connectTo(c, server);
    EXPECT_EQ(c.ReadLn(), "status\n");
    QByteArray rest;
    c.CaptureString(rest, -1);
    EXPECT_EQ(rest, "rest of the data\nand more");
}

TEST(ReadLn, LineLongerThanTheWorkBufferComesInPieces) {
    const QByteArray longLine = QByteArray(TSocketClient::kBufferSize + 4000, 'x') + "\r\n";
    ScriptedServer server(sendChunks({longLine + "short\n"}));
    TSocketClient c;
    connectTo(c, server);
    const QByteArray first = c.ReadLn();
    EXPECT_EQ(first.size(), TSocketClient::kBufferSize);
    EXPECT_EQ(first + c.ReadLn(), longLine);
    EXPECT_EQ(c.ReadLn(), "short\n");
}

TEST(ReadLn, TimeOutAbortsASilentServerWhileTheGuiKeepsRunning) {
    ScriptedServer server([](Peer &peer, int) { peer.holdOpen(); });
    TSocketClient c;
    connectTo(c, server);
    int ticks = 0;
    QTimer gui;
    QObject::connect(&gui, &QTimer::timeout, [&] { ++ticks; });
    gui.start(100);
    c.TimeOut = 5000;
    QElapsedTimer clock;
    clock.start();
    try {
        c.ReadLn();
        FAIL() << "no abort";
    } catch (const EAbortError &e) {
        EXPECT_EQ(e.message(), "Socket readln aborted");
    }
    EXPECT_GE(clock.elapsed(), 4900);
    EXPECT_GE(ticks, 20);
    // The abort is cleared: the next wait runs its own course.
    server.stop();
    EXPECT_EQ(c.ReadLn(), "");
}

TEST(ReadLn, WithoutTimeOutWaitsUntilTheServerCloses) {
    ScriptedServer server([](Peer &peer, int) { peer.pause(1000); });
    TSocketClient c;
    connectTo(c, server);
    int ticks = 0;
    QTimer gui;
    QObject::connect(&gui, &QTimer::timeout, [&] { ++ticks; });
    gui.start(50);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(c.ReadLn(), "");
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_GE(ticks, 5);
}

TEST(ReadLn, AbortFromTheGuiEndsTheWait) {
    ScriptedServer server([](Peer &peer, int) { peer.holdOpen(); });
    TSocketClient c;
    connectTo(c, server);
    QTimer::singleShot(100, [&] { c.Abort(); });
    try {
        c.ReadLn();
        FAIL() << "no abort";
    } catch (const EAbortError &e) {
        EXPECT_EQ(e.message(), "Socket readln aborted");
    }
}

TEST(Capture, OneByteBlocksAreAppendedAndCounted) {
    ScriptedServer server(sendChunks({"a", "b", "c", "\n", "d"}, 10));
    TSocketClient c;
    connectTo(c, server);
    int packets = 0;
    c.OnPacketRecvd = [&](QObject *) { ++packets; };
    QByteArray text = "old";
    c.CaptureString(text, -1);
    EXPECT_EQ(text, "abc\nd");
    EXPECT_EQ(c.BytesRecvd(), 5);
    EXPECT_EQ(packets, 5);
}

TEST(Capture, StringStopsAtItsLimitAndFileTakesEverything) {
    const QByteArray big(300000, 'z');
    ScriptedServer server(sendChunks({"0123456789", big}));
    TSocketClient c;
    connectTo(c, server);
    QByteArray text;
    c.CaptureString(text, 4);
    EXPECT_EQ(text, "0123");
    QTemporaryDir dir;
    const QString path = dir.filePath("body.bin");
    c.CaptureFile(path);
    EXPECT_EQ(tarv::test::readFile(path), "456789" + big);
    EXPECT_EQ(c.BytesRecvd(), 6 + big.size());
}

TEST(Capture, TimeOutBoundsTheWholeCaptureNotEachBlock) {
    // A trickle of bytes, each well inside the limit, never ends on its own.
    ScriptedServer server([](Peer &peer, int) {
        for (int i = 0; i < 100; ++i) {
            peer.send("x");
            peer.pause(100);
        }
    });
    TSocketClient c;
    connectTo(c, server);
    c.TimeOut = 800;
    QTemporaryDir dir;
    QByteArray text;
    try {
        c.CaptureString(text, -1);
        FAIL() << "no abort";
    } catch (const EAbortError &e) {
        EXPECT_EQ(e.message(), "Socket capture aborted");
    }
    EXPECT_GE(c.BytesRecvd(), 3);
    EXPECT_LT(c.BytesRecvd(), 50);
    try {
        c.CaptureFile(dir.filePath("f"));
        FAIL() << "no abort";
    } catch (const EAbortError &e) {
        EXPECT_EQ(e.message(), "Socket send aborted");
    }
}

TEST(Send, FileAndBufferReachThePeerWhenItIsSlowToRead) {
    QTemporaryDir dir;
    QByteArray data;
    for (int i = 0; i < 400000; ++i)
        data.append(char('a' + i % 26));
    tarv::test::writeFile(dir.filePath("up.bin"), data);
    QByteArray got;
    ScriptedServer server([&](Peer &peer, int) {
        peer.pause(300); // let the client's send buffer fill
        const QByteArray r = peer.readRequest();
        got = r;
    });
    // readRequest stops at the first blank line; the payload has none until its end.
    TSocketClient c;
    connectTo(c, server);
    int packets = 0;
    c.OnPacketSent = [&](QObject *) { ++packets; };
    c.SendFile(dir.filePath("up.bin"));
    EXPECT_EQ(c.BytesSent(), data.size());
    EXPECT_GE(packets, 1);
    const QByteArray big(3 * 1024 * 1024, 'b');
    c.Write(big);
    c.Writeln("");
    c.Write(QByteArray("\r\n"));
    server.stop();
    EXPECT_EQ(got, data + big + "\r\n\r\n");
}

TEST(Send, WriteStopsAtTheFirstZeroByte) {
    QByteArray got;
    ScriptedServer server([&](Peer &peer, int) { got = peer.readRequest(); });
    TSocketClient c;
    connectTo(c, server);
    c.Write(QByteArray("abc\0def", 7));
    c.Writeln("\r\n");
    server.stop();
    EXPECT_EQ(got, "abc\r\n\r\n");
}

TEST(Transaction, ReplyNumberFromLeadingDigits) {
    ScriptedServer server([](Peer &peer, int) {
        peer.readRequest();
        peer.send("250 fine\r\n220\r\nno number\r\n");
        peer.pause(100);
    });
    TSocketClient c;
    connectTo(c, server);
    EXPECT_EQ(c.Transaction("HELLO\r\n"), "250 fine\r\n");
    EXPECT_EQ(c.ReplyNumber(), 250);
    EXPECT_EQ(c.LastReply(), "250 fine\r\n");
    EXPECT_EQ(c.Transaction(""), "220\r\n");
    EXPECT_EQ(c.ReplyNumber(), 220);
    EXPECT_EQ(c.Transaction(""), "no number\r\n");
    EXPECT_EQ(c.ReplyNumber(), 0);
}
