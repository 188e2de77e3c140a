#include "net/httpclient.h"
#include "scriptedserver.h"
#include "support/errorof.h"
#include "support/tempdir.h"

#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::errorOf;
using tarv::test::Peer;
using tarv::test::ScriptedServer;

namespace {

// A server that answers every request with the next of replies, then closes.
ScriptedServer::Script answer(ScriptedServer *&self, QList<QByteArray> replies) {
    return [&self, replies](Peer &peer, int n) {
        self->take(peer);
        peer.send(replies.value(n, replies.last()));
    };
}

struct UrlCase {
    const char *url;
    const char *host; // Host after parsing (it starts as "old")
    int port;         // Port after parsing (it starts as 0)
    const char *path;
    const char *target;
};

void PrintTo(const UrlCase &c, std::ostream *os) {
    *os << c.url;
}

} // namespace

class ParseUrlCases : public ::testing::TestWithParam<UrlCase> {};

TEST_P(ParseUrlCases, SplitsHostPortAndPath) {
    const UrlCase &tc = GetParam();
    THttpClient c;
    c.Host = "old";
    c.setTargetURL(tc.url);
    c.ParseURL();
    EXPECT_EQ(c.Host, tc.host);
    EXPECT_EQ(c.Port, tc.port);
    EXPECT_EQ(c.requestPath(), tc.path);
    EXPECT_EQ(c.targetURL(), tc.target);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, ParseUrlCases,
    ::testing::Values(UrlCase{"http://host", "host", 80, "/", "http://host/"},
                      UrlCase{"http://host/", "host", 80, "/", "http://host//"},
                      UrlCase{"http://h:8080/a/b.txt", "h", 8080, "/a/b.txt", "http://h:8080/a/b.txt"},
                      UrlCase{"host:8080/dir/f.txt", "host", 8080, "/dir/f.txt", "host:8080/dir/f.txt"},
                      UrlCase{"/only/path", "old", 80, "/only/path", "/only/path"},
                      UrlCase{"ftp://h/x", "h", 21, "/x", "ftp://h/x"},
                      UrlCase{"GOPHER://h/x", "h", 70, "/x", "GOPHER://h/x"},
                      UrlCase{"plainhost", "plainhost", 80, "/", "plainhost/"}));

TEST(ParseUrl, RejectsEmptyHttpsAndBadPortsAndCutsLongPaths) {
    THttpClient c;
    c.setTargetURL("");
    EXPECT_EQ(errorOf([&] { c.ParseURL(); }), "Empty URL");
    c.setTargetURL("HTTPS://h/x");
    EXPECT_EQ(errorOf([&] { c.ParseURL(); }), "HTTP Secure Socket is not supported");
    c.setTargetURL("http://h:8o/x");
    EXPECT_EQ(errorOf([&] { c.ParseURL(); }), "'8o' is not a valid integer value");
    c.setTargetURL("http://h/" + QString(1000, 'p'));
    c.ParseURL();
    EXPECT_EQ(c.requestPath(), "/" + QString(THttpClient::kMaxValueLength - 1, 'p'));
}

TEST(HttpRequest, VendorMenuGetIsExactlyTheseBytesOnTheWire) {
    ScriptedServer *self = nullptr;
    ScriptedServer server(answer(self, {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello"}));
    self = &server;
    QTemporaryDir dir;
    THttpClient c;
    c.InputFileMode = true;
    c.Body = dir.filePath("popup.txt");
    QList<int> success;
    c.OnSuccess = [&](CmdType cmd) { success << cmd; };
    c.Get(QString("http://127.0.0.1:%1/services/tarv/popup.txt").arg(server.port()));
    server.stop();
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0],
              "GET /services/tarv/popup.txt HTTP/1.0\r\n"
              "Host: 127.0.0.1\r\n"
              "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
              "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
              "Content-type: application/x-www-form-urlencoded\r\n"
              "\r\n");
    EXPECT_EQ(tarv::test::readFile(c.Body), "hello");
    EXPECT_EQ(success, QList<int>{cmdGet});
    EXPECT_EQ(c.ReplyNumber(), 200);
    EXPECT_EQ(c.BytesTotal(), 5);
}

TEST(HttpRequest, ProxyCredentialsAndPostData) {
    QByteArray request;
    ScriptedServer server([&](Peer &peer, int) {
        request = peer.readQuiet(200);
        peer.send("HTTP/1.0 200 OK\r\n\r\nok");
    });
    THttpClient c;
    c.Proxy = "127.0.0.1";
    c.ProxyPort = server.port();
    c.HeaderInfo.UserId = "a";
    c.HeaderInfo.Password = "b";
    c.HeaderInfo.LocalProgram = "Tarv";
    c.Post("http://far.example:81/form", "x=1 & y/z");
    server.stop();
    EXPECT_EQ(request, "POST http://far.example:81/form HTTP/1.0\r\n"
                       "Proxy-Connection: Keep-Alive\r\n"
                       "Host: far.example\r\n"
                       "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
                       "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
                       "User-Agent: Tarv\r\n"
                       "Authorization: Basic YTpi\r\n"
                       "Content-type: application/x-www-form-urlencoded\r\n"
                       "Content-Length: 13\r\n"
                       "\r\n"
                       "x%3D1+%26+y/z");
    EXPECT_EQ(c.Body, "ok");
    EXPECT_EQ(c.Port, 81);

    // With only one of the two credentials there is no Authorization line.
    c.HeaderInfo.Password.clear();
    c.setTargetURL("http://h/");
    c.ParseURL();
    c.BuildRequestHeader();
    EXPECT_EQ(c.requestHeader().FindHeader("Authorization"), -1);
}

TEST(HttpResponse, HeaderFieldsAndTheStatusLineRules) {
    ScriptedServer *self = nullptr;
    ScriptedServer server(answer(self, {"HTTP/1.0 201 Created\r\n"
                                        "Content-Length:   77\r\n"
                                        "Set-Cookie: a=1\r\n"
                                        "set-cookie: b=2\r\n"
                                        "Location:x\r\n"
                                        "\r\n"
                                        "body\r\nmore",
                                        "HTTP/1.0 200\r\nContent-Length: 3\r\n\r\nshort status line"}));
    self = &server;
    THttpClient c;
    c.Get(QString("http://127.0.0.1:%1/").arg(server.port()));
    EXPECT_EQ(c.ReplyNumber(), 201);
    EXPECT_EQ(c.BytesTotal(), 77);
    EXPECT_EQ(c.responseCookie(), "b=2");
    EXPECT_EQ(c.redirectLocation(), ""); // "Location:x" is not the name followed by a space
    EXPECT_TRUE(c.Header.startsWith("HTTP/1.0 201 Created\r\nContent-Length:   77\r\n"));
    EXPECT_TRUE(c.Header.endsWith("Location:x\r\n\r\n"));
    EXPECT_EQ(c.Body, "body\r\nmore"); // shorter than announced: the close ends it
    c.Get(QString("http://127.0.0.1:%1/").arg(server.port()));
    EXPECT_EQ(c.ReplyNumber(), 0);
    EXPECT_EQ(c.Body, "short status line"); // longer than announced: read to the close
}

TEST(HttpResponse, CloseWithoutAnswerIsAnEmptySuccess) {
    ScriptedServer server([&](Peer &peer, int) { peer.readRequest(); });
    QTemporaryDir dir;
    THttpClient c;
    c.InputFileMode = true;
    c.Body = dir.filePath("popup.txt");
    tarv::test::writeFile(c.Body, "old menu");
    QList<int> success;
    c.OnSuccess = [&](CmdType cmd) { success << cmd; };
    c.Get(QString("http://127.0.0.1:%1/p.txt").arg(server.port()));
    EXPECT_EQ(c.ReplyNumber(), 0);
    EXPECT_EQ(success, QList<int>{cmdGet});
    EXPECT_EQ(c.Header, "");
    EXPECT_TRUE(QFile::exists(c.Body));
    EXPECT_EQ(tarv::test::readFile(c.Body), "");
}

TEST(HttpResponse, RedirectLoopEndsAfterTenPassesAsACompletedResponse) {
    ScriptedServer *self = nullptr;
    ScriptedServer server(
        answer(self, {"HTTP/1.0 302 Found\r\nLocation: /again\r\nSet-Cookie: s=1\r\n\r\nloop"}));
    self = &server;
    THttpClient c;
    int redirects = 0, outcomes = 0;
    c.OnRedirect = [&](bool &) { ++redirects; };
    c.OnSuccess = c.OnFailure = [&](CmdType) { ++outcomes; };
    c.Get(QString("http://127.0.0.1:%1/start").arg(server.port()));
    server.stop();
    EXPECT_EQ(server.requests().size(), THttpClient::kMaxPasses);
    EXPECT_EQ(redirects, THttpClient::kMaxPasses);
    EXPECT_EQ(outcomes, 0);
    EXPECT_EQ(c.ReplyNumber(), 302);
    EXPECT_EQ(c.Body, "loop");
    EXPECT_EQ(c.HeaderInfo.Cookie, "s=1");
    // The cookie of the redirect goes with the next request.
    EXPECT_TRUE(server.requests().last().contains("\r\nCookie: s=1\r\n"));
}

TEST(HttpResponse, StatusWithoutNewTargetIsNotRepeatedAndRedirectCanBeHandled) {
    ScriptedServer *self = nullptr;
    ScriptedServer server(answer(self, {"HTTP/1.0 304 Not Modified\r\n\r\n",
                                        "HTTP/1.0 302 Found\r\n\r\n", // no Location: nothing to follow
                                        "HTTP/1.0 301 Moved\r\nLocation: /next\r\n\r\n"}));
    self = &server;
    THttpClient c;
    const QString url = QString("http://127.0.0.1:%1/x").arg(server.port());
    c.Get(url);
    EXPECT_EQ(c.ReplyNumber(), 304);
    c.Get(url);
    EXPECT_EQ(c.ReplyNumber(), 302);
    c.OnRedirect = [](bool &handled) { handled = true; };
    c.Get(url);
    EXPECT_EQ(c.ReplyNumber(), 301);
    server.stop();
    EXPECT_EQ(server.requests().size(), 3);
}

TEST(HttpFailures, HttpsRefusedAndUnknownHostLeaveTheFileAlone) {
    QTemporaryDir dir;
    THttpClient c;
    c.InputFileMode = true;
    c.Body = dir.filePath("popup.txt");
    tarv::test::writeFile(c.Body, "old menu");
    int sent = 0, failedConnections = 0;
    c.OnAboutToSend = [&](QObject *) { ++sent; };
    c.OnConnectionFailed = [&](QObject *) { ++failedConnections; };
    EXPECT_EQ(errorOf([&] { c.Get("https://127.0.0.1/x"); }), "HTTP Secure Socket is not supported");
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(errorOf([&] { c.Get(QString("http://127.0.0.1:%1/x").arg(ScriptedServer::closedPort())); }),
              "Connection Failed");
    EXPECT_EQ(failedConnections, 1);
    EXPECT_EQ(errorOf([&] { c.Get("http://not a host/x"); }), "Null Remote Address");
    EXPECT_EQ(tarv::test::readFile(c.Body), "old menu");
    // The client is usable again after every failure.
    EXPECT_FALSE(c.isConnected());
}

TEST(HttpFailures, TimeOutWhileReadingTheHeaderAndNoSecondCommandDuringAWait) {
    ScriptedServer server([](Peer &peer, int) { peer.holdOpen(); });
    THttpClient c;
    c.TimeOut = 300;
    QString nested;
    c.OnAboutToSend = [&](QObject *) {
        QTimer::singleShot(50, [&] { nested = errorOf([&] { c.Get("http://127.0.0.1/other"); }); });
    };
    EXPECT_EQ(errorOf([&] { c.Get(QString("http://127.0.0.1:%1/x").arg(server.port())); }),
              "Socket readln aborted");
    EXPECT_EQ(nested, "Already connected");
    EXPECT_FALSE(c.isConnected());
}

TEST(HttpCommands, EachCommandSendsItsVerbExtraLinesAndBody) {
    QByteArray last;
    ScriptedServer server([&](Peer &peer, int) {
        last = peer.readQuiet(60);
        peer.send("HTTP/1.0 200 OK\r\n\r\n");
    });
    THttpClient c;
    const QString url = QString("http://127.0.0.1:%1/r").arg(server.port());
    const QByteArray common = "Host: 127.0.0.1\r\n"
                              "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
                              "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
                              "Content-type: application/x-www-form-urlencoded\r\n";
    const struct {
        std::function<void()> run;
        QByteArray expected;
    } table[] = {
        {[&] { c.Get(url); }, "GET /r HTTP/1.0\r\n" + common + "\r\n"},
        {[&] { c.Options(url); }, "OPTIONS /r HTTP/1.0\r\n" + common + "\r\n"},
        {[&] { c.Head(url); }, "HEAD /r HTTP/1.0\r\n" + common + "\r\n"},
        {[&] { c.Post(url, "a b"); }, "POST /r HTTP/1.0\r\n" + common + "Content-Length: 3\r\n\r\na+b"},
        {[&] { c.Put(url, "a b"); }, "PUT /r HTTP/1.0\r\n" + common + "Content-Length: 3\r\n\r\na b"},
        {[&] { c.Patch(url, "xy"); }, "PATCH /r HTTP/1.0\r\n" + common + "Content-Length: 2\r\n\r\nxy"},
        {[&] { c.Copy(url, "/to"); }, "COPY /r HTTP/1.0\r\n" + common + "URI-header: /to\r\n\r\n"},
        {[&] { c.Move(url, "/to"); }, "MOVE /r HTTP/1.0\r\n" + common + "URI-header: /to\r\n\r\n"},
        {[&] { c.Delete(url); }, "DELETE /r HTTP/1.0\r\n" + common + "\r\n"},
        {[&] { c.Link(url, "<l>"); },
         "LINK /r HTTP/1.0\r\n" + common + "Link: <l>\r\nContent-Length: 8\r\n\r\n"},
        {[&] { c.Unlink(url, "<l>"); },
         "UNLINK /r HTTP/1.0\r\n" + common + "Link: <l>\r\nContent-Length: 8\r\n\r\n"},
        {[&] { c.Trace(url, "t"); }, "TRACE /r HTTP/1.0\r\n" + common + "Content-Length: 1\r\n\r\nt"},
        {[&] { c.Headless(url, "h"); }, common + "Content-Length: 1\r\n\r\nh"},
    };
    QList<int> codes;
    c.OnSuccess = [&](CmdType cmd) { codes << cmd; };
    for (const auto &row : table) {
        row.run();
        EXPECT_EQ(last, row.expected);
    }
    EXPECT_EQ(codes, QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST(HttpCommands, RequestDataFromAFileAndTheHeaderIntoAFile) {
    QByteArray got;
    ScriptedServer server([&](Peer &peer, int) {
        got = peer.readQuiet(100);
        peer.send("HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic\r\n\r\nwho?");
    });
    QTemporaryDir dir;
    tarv::test::writeFile(dir.filePath("send.dat"), "x=1&y=2");
    THttpClient c;
    c.OutputFileMode = true;
    c.Header = dir.filePath("head.txt");
    int authentication = 0, failures = 0;
    c.OnAuthenticationNeeded = [&](QObject *) { ++authentication; };
    c.OnFailure = [&](CmdType) { ++failures; };
    c.Post(QString("http://127.0.0.1:%1/f").arg(server.port()), dir.filePath("send.dat"));
    EXPECT_TRUE(got.endsWith("Content-Length: 7\r\n\r\nx=1&y=2")); // sent as it is, not encoded
    EXPECT_EQ(tarv::test::readFile(c.Header), "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic\r\n\r\n");
    EXPECT_EQ(c.Body, "who?");
    EXPECT_EQ(authentication, 1);
    EXPECT_EQ(failures, 1);
    c.Header = dir.filePath("no/such/folder/head.txt");
    EXPECT_THROW(c.Post(QString("http://127.0.0.1:%1/f").arg(server.port()), dir.filePath("send.dat")),
                 EInOutError);
    EXPECT_FALSE(c.isConnected());
}

TEST(HttpFailures, AbortDuringTheBodyKeepsWhatCameAndFreesTheClient) {
    ScriptedServer server([](Peer &peer, int) {
        peer.readRequest();
        peer.send("HTTP/1.0 200 OK\r\n\r\npart one;");
        peer.holdOpen();
    });
    QTemporaryDir dir;
    THttpClient c;
    c.InputFileMode = true;
    c.Body = dir.filePath("popup.txt");
    c.OnPacketRecvd = [&](QObject *) { QTimer::singleShot(50, [&] { c.Abort(); }); };
    EXPECT_EQ(errorOf([&] { c.Get(QString("http://127.0.0.1:%1/p").arg(server.port())); }),
              "Socket send aborted");
    EXPECT_EQ(tarv::test::readFile(c.Body), "part one;");
    EXPECT_FALSE(c.isConnected());
    c.InputFileMode = false;
    c.OnPacketRecvd = [&](QObject *) { QTimer::singleShot(50, [&] { c.Abort(); }); };
    EXPECT_EQ(errorOf([&] { c.Get(QString("http://127.0.0.1:%1/p").arg(server.port())); }),
              "Socket capture aborted");
    EXPECT_EQ(c.Body, "part one;");
}

TEST(HttpCommands, ARefusedNestedCommandLeavesTheRunningOneAlone) {
    ScriptedServer *self = nullptr;
    ScriptedServer server([&](Peer &peer, int n) {
        self->take(peer);
        if (n == 0) {
            peer.pause(300);
            peer.send("HTTP/1.0 302 Found\r\nLocation: /next\r\n\r\n");
        } else {
            peer.send("HTTP/1.0 200 OK\r\n\r\n");
        }
    });
    self = &server;
    THttpClient c;
    QStringList refused;
    bool once = true;
    c.OnAboutToSend = [&](QObject *) {
        if (!once) return;
        once = false;
        QTimer::singleShot(50, [&] {
            refused << errorOf([&] { c.Put("http://127.0.0.1/other", "secret"); });
            refused << errorOf([&] { c.Copy("http://127.0.0.1/other", "/elsewhere"); });
        });
    };
    c.Get(QString("http://127.0.0.1:%1/first").arg(server.port()));
    server.stop();
    EXPECT_EQ(refused, (QStringList{"Already connected", "Already connected"}));
    ASSERT_EQ(server.requests().size(), 2);
    const QByteArray second = server.requests().at(1);
    EXPECT_TRUE(second.startsWith("GET /next HTTP/1.0\r\n")) << second.constData();
    EXPECT_FALSE(second.contains("URI-header")) << second.constData();
    EXPECT_FALSE(second.contains("Content-Length")) << second.constData();
}

TEST(HttpResponse, ARedirectTargetIsRequestedWithTheBytesTheServerSent) {
    ScriptedServer *self = nullptr;
    ScriptedServer server(answer(self, {"HTTP/1.0 302 Found\r\nLocation: /caf\xe9/\xc3\xa9\r\n\r\n",
                                        "HTTP/1.0 200 OK\r\n\r\n"}));
    self = &server;
    THttpClient c;
    c.Get(QString("http://127.0.0.1:%1/x").arg(server.port()));
    // A later command from the caller is sent as UTF-8 again.
    c.Get(QString("http://127.0.0.1:%1/\u00e9").arg(server.port()));
    server.stop();
    ASSERT_EQ(server.requests().size(), 3);
    EXPECT_TRUE(server.requests().at(1).startsWith("GET /caf\xe9/\xc3\xa9 HTTP/1.0\r\n"));
    EXPECT_TRUE(server.requests().at(2).startsWith("GET /\xc3\xa9 HTTP/1.0\r\n"));
}
