#include "net/socketclient.h"
#include "scriptedserver.h"

#include <QCoreApplication>
#include <cerrno>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::Peer;
using tarv::test::ScriptedServer;

namespace {

// The message of the ESockError that body raises; empty when none comes.
template <typename F> QString sockErrorOf(F body) {
    try {
        body();
    } catch (const ESockError &e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST(SocketErrors, MessagesUseTheTableNumbersAndTexts) {
    TSocketClient c;
    EXPECT_EQ(c.ErrorMessage(10061), "10061:Connection refused");
    EXPECT_EQ(c.ErrorMessage(10054), "10054:Connection reset by peer");
    EXPECT_EQ(c.ErrorMessage(11004), "11004:Valid name, no data record of requested type");
    EXPECT_EQ(c.ErrorMessage(12345), "Unknown Error No. 12345");
    EXPECT_EQ(c.ErrorMessage(0), "");

    const struct {
        int platform;
        int expected;
#ifdef _WIN32
    } table[] = {{WSAECONNREFUSED, 10061}, {WSAECONNRESET, 10054}, {WSAETIMEDOUT, 10060},
                 {WSAEWOULDBLOCK, 10035},  {WSAENOTCONN, 10057},   {WSAESHUTDOWN, 10058},
                 {WSAEHOSTUNREACH, 10065}, {WSAHOST_NOT_FOUND, 11001}, {0, 0}};
    const int unnumbered = ERROR_NOT_ENOUGH_MEMORY;
#else
    } table[] = {{ECONNREFUSED, 10061}, {ECONNRESET, 10054}, {ETIMEDOUT, 10060},    {EAGAIN, 10035},
                 {ENOTCONN, 10057},     {EPIPE, 10058},      {EHOSTUNREACH, 10065}, {0, 0}};
    const int unnumbered = ENOMEM;
#endif
    for (const auto &row : table)
        EXPECT_EQ(TSocketClient::mapPlatformError(row.platform), row.expected) << row.platform;
    // An error the table has no number for still counts as a socket error.
    EXPECT_GT(TSocketClient::mapPlatformError(unnumbered), 10000);
    EXPECT_TRUE(c.ErrorMessage(TSocketClient::mapPlatformError(unnumbered)).startsWith("Unknown Error No. "));
}

TEST(SocketConnect, RefusedPortFailsWithEventAndMessage) {
    TSocketClient c;
    int failed = 0, connected = 0;
    c.OnConnectionFailed = [&](QObject *) { ++failed; };
    c.OnConnect = [&](QObject *) { ++connected; };
    c.Host = "127.0.0.1";
    c.Port = ScriptedServer::closedPort();
    EXPECT_EQ(sockErrorOf([&] { c.Connect(); }), "Connection Failed");
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(connected, 0);
    EXPECT_FALSE(c.isConnected());

    // The same component connects once a server listens, without a Disconnect in between.
    ScriptedServer server([](Peer &peer, int) { peer.holdOpen(); });
    c.Port = server.port();
    EXPECT_EQ(sockErrorOf([&] { c.Connect(); }), "");
    EXPECT_EQ(connected, 1);
}

TEST(SocketConnect, UnresolvableNameGivesNullRemoteAddressAndOneRetry) {
    ScriptedServer server([](Peer &, int) {});
    TSocketClient c;
    c.Port = server.port();

    c.Host = "no such host"; // not a host name: fails without asking any name server
    EXPECT_EQ(sockErrorOf([&] { c.Connect(); }), "Null Remote Address");

    // A handler that asks again but leaves the name as it is is asked once only.
    int asked = 0;
    c.OnInvalidHost = [&](bool &handled) {
        ++asked;
        handled = true;
    };
    EXPECT_EQ(sockErrorOf([&] { c.Connect(); }), "Null Remote Address");
    EXPECT_EQ(asked, 1);

    // A handler that declines ends it at once.
    asked = 0;
    c.OnInvalidHost = [&](bool &) { ++asked; };
    EXPECT_EQ(sockErrorOf([&] { c.Connect(); }), "Null Remote Address");
    EXPECT_EQ(asked, 1);

    // A handler that corrects the host gets a second lookup that succeeds.
    c.OnInvalidHost = [&](bool &handled) {
        c.Host = "localhost";
        handled = true;
    };
    int resolved = 0;
    c.OnHostResolved = [&](QObject *) { ++resolved; };
    c.Host = "still not a host";
    EXPECT_EQ(sockErrorOf([&] { c.Connect(); }), "");
    EXPECT_TRUE(c.isConnected());
    EXPECT_EQ(resolved, 1);
    EXPECT_EQ(c.remoteAddress(), htonl(INADDR_LOOPBACK));
}

TEST(SocketConnect, DottedAddressNeedsNoLookupAndReconnectsAfterDisconnect) {
    ScriptedServer server([](Peer &peer, int) { peer.pause(200); });
    TSocketClient c;
    int resolved = 0, connected = 0, disconnected = 0;
    c.OnHostResolved = [&](QObject *) { ++resolved; };
    c.OnConnect = [&](QObject *) { ++connected; };
    c.OnDisconnect = [&](QObject *) { ++disconnected; };
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.Connect();
    EXPECT_TRUE(c.isConnected());
    EXPECT_EQ(sockErrorOf([&] { c.Connect(); }), "Already connected");
    c.Disconnect();
    EXPECT_FALSE(c.isConnected());
    c.Connect();
    EXPECT_TRUE(c.isConnected());
    c.Disconnect();
    EXPECT_EQ(resolved, 0);
    EXPECT_EQ(connected, 2);
    EXPECT_EQ(disconnected, 2);
}

TEST(SocketConnect, StatusTextsAreFilteredByReportLevel) {
    TSocketClient c;
    QStringList seen;
    c.OnStatus = [&](QObject *, const QString &s) { seen << s; };
    c.Host = "127.0.0.1";
    c.Port = ScriptedServer::closedPort();
    sockErrorOf([&] { c.Connect(); });
    EXPECT_TRUE(seen.isEmpty());
    c.ReportLevel = 8;
    sockErrorOf([&] { c.Connect(); });
    EXPECT_EQ(seen.mid(0, 2), QStringList({"Connecting", "Resolve Host"}));
    EXPECT_EQ(c.LastStatus(), seen.last());
    seen.clear();
    c.ReportLevel = 4;
    c.Disconnect();
    EXPECT_EQ(seen, QStringList({"Request Close Socket"}));
}
