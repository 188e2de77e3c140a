#include "net/httpclient.h"
#include "nginxserver.h"
#include "support/tempdir.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::NginxServer;

namespace {

// One nginx for the whole suite: a file, a 404, an absolute and a relative redirect.
class HttpAgainstNginx : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(NginxServer::installed()) << "nginx is missing: run scripts/install-deps";
        server = new NginxServer;
        server->writeDoc("popup.txt", "menu line 1\r\nmenu line 2\r\n");
        server->writeDoc("new.txt", "the new document\n");
        QDir().mkpath(server->docPath("services/tarv"));
        server->writeDoc("services/tarv/popup.txt", QByteArray("\xC4\xF1\xF7|http://x/\r\n"));
        ASSERT_TRUE(server->start("    location = /old.txt { return 302 http://127.0.0.1:%PORT%/new.txt; }\n"
                                  "    location = /rel.txt { return 302 new.txt; }\n"))
            << server->log().toStdString();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(server, nullptr);
        client.InputFileMode = true;
        client.Body = dir.filePath("popup.txt");
        client.OnSuccess = [this](CmdType cmd) { events << QString("success %1").arg(cmd); };
        client.OnFailure = [this](CmdType cmd) { events << QString("failure %1").arg(cmd); };
        client.OnRedirect = [this](bool &) { events << "redirect"; };
    }

    static NginxServer *server;
    QTemporaryDir dir;
    THttpClient client;
    QStringList events;
};

NginxServer *HttpAgainstNginx::server = nullptr;

} // namespace

TEST_F(HttpAgainstNginx, DocumentLandsInTheFile) {
    client.Get(server->url("/services/tarv/popup.txt"));
    EXPECT_EQ(client.ReplyNumber(), 200);
    EXPECT_EQ(tarv::test::readFile(client.Body), QByteArray("\xC4\xF1\xF7|http://x/\r\n"));
    EXPECT_EQ(events, QStringList{"success 0"});
    EXPECT_EQ(client.BytesTotal(), 15);
    EXPECT_TRUE(client.Header.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(client.Header.endsWith("\r\n\r\n"));
}

TEST_F(HttpAgainstNginx, NotFoundPageLandsInTheFileAndGetReturns) {
    tarv::test::writeFile(client.Body, "previous menu");
    client.Get(server->url("/missing.txt"));
    EXPECT_EQ(client.ReplyNumber(), 404);
    EXPECT_EQ(events, QStringList{"failure 0"});
    EXPECT_TRUE(tarv::test::readFile(client.Body).contains("404 Not Found"));
}

TEST_F(HttpAgainstNginx, AbsoluteRedirectIsFollowedToTheSecondBody) {
    client.Get(server->url("/old.txt"));
    EXPECT_EQ(client.ReplyNumber(), 200);
    EXPECT_EQ(events, QStringList({"redirect", "success 0"}));
    EXPECT_EQ(client.targetURL(), server->url("/new.txt"));
    EXPECT_EQ(tarv::test::readFile(client.Body), "the new document\n");
}

TEST_F(HttpAgainstNginx, RelativeRedirectGoesToTheSameServer) {
    client.Get(server->url("/rel.txt"));
    EXPECT_EQ(client.redirectLocation(), "");
    EXPECT_EQ(client.ReplyNumber(), 200);
    EXPECT_EQ(events, QStringList({"redirect", "success 0"}));
    EXPECT_EQ(tarv::test::readFile(client.Body), "the new document\n");
}

TEST_F(HttpAgainstNginx, BodyIntoTextAndHeaderIntoAFile) {
    client.InputFileMode = false;
    client.OutputFileMode = true;
    client.Header = dir.filePath("head.txt");
    client.Get(server->url("/popup.txt"));
    EXPECT_EQ(client.Body, "menu line 1\r\nmenu line 2\r\n");
    const QByteArray head = tarv::test::readFile(client.Header);
    EXPECT_TRUE(head.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(head.contains("\r\nContent-Length: 26\r\n"));
}
