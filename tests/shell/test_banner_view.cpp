#include "shell/bannerengine_remote.h"
#include "shell/bannerview.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <csignal>
#include <unistd.h>

using namespace tarv;

namespace {

// The web engine refuses to start as root with its sandbox on; a normal user keeps the sandbox.
const bool sandboxChecked = [] {
    // As root the program uses the light view unless the web engine is chosen explicitly.
    qputenv("TARV_BANNER_ENGINE", "web");
    if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    return true;
}();

// A web server on 127.0.0.1 that answers every request with a small page and counts them.
class PageServer final : public QObject {
public:
    PageServer() {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray request = s->readAll();
                    const QByteArray path = request.split(' ').value(1);
                    // The site's icon is asked for on line after the page completed, at a
                    // moment of the engine's own choosing: it is no page of the banner.
                    if (path != "/favicon.ico") paths << QString::fromLatin1(path);
                    if (path.startsWith("/moved")) {
                        s->write("HTTP/1.0 302 Found\r\nLocation: /landing\r\nContent-Length: 0\r\n\r\n");
                        s->disconnectFromHost();
                        return;
                    }
                    const QByteArray body =
                        "<html><body style='background:#204080'>Banner page</body></html>";
                    s->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                             QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    s->disconnectFromHost();
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString url(const QString &path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path);
    }
    QTcpServer server;
    QStringList paths;
};

// A window holding a banner view, as the main window does.
struct BannerWindow {
    explicit BannerWindow(const QString &cache)
        : view(new BannerView(cache, &window)), spy(view, &BannerView::DocumentComplete) {
        window.resize(284, 308);
        view->setGeometry(11, 69, 261, 168);
    }
    // The address of the next completed document, or an empty text after a time-out.
    QString nextComplete() {
        if (spy.isEmpty() && !spy.wait(30000)) return {};
        return spy.takeFirst().at(1).toString();
    }
    QWidget window;
    BannerView *view;
    QSignalSpy spy;
};

} // namespace

TEST(BannerView, OfflineWithoutASavedCopyEndsOnAnInternalPageWithoutTheEngine) {
    QTemporaryDir cache;
    BannerWindow w(cache.path());
    w.view->setOffline(true);
    w.view->Navigate(QStringLiteral("http://127.0.0.1:9/services/tarv/index.asp?tarv=10"));
    EXPECT_TRUE(w.spy.isEmpty()) << "the event comes through the event queue";
    EXPECT_TRUE(w.nextComplete().contains(QLatin1String("res:")));
    w.window.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.view->engineCreated());
}

TEST(BannerView, SavesOnlinePagesAndShowsThemOfflineWithoutTheNetwork) {
    QTemporaryDir cache;
    PageServer server;
    const QString page = server.url(QStringLiteral("/services/tarv/index.asp?tarv=10"));
    {
        BannerWindow w(cache.path());
        w.view->setOffline(false);
        w.view->Navigate(page);
        EXPECT_TRUE(w.view->engineCreated()) << "an on-line navigation needs the engine at once";
        EXPECT_EQ(w.nextComplete(), page);
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.view->cache().contains(page); }, 20000));
    }
    const int requests = server.paths.size();
    ASSERT_GE(requests, 1);

    BannerWindow w(cache.path());
    w.view->setOffline(true);
    w.view->Navigate(page);
    QTest::qWait(200);
    EXPECT_FALSE(w.view->engineCreated()) << "the engine waits until the window is first shown";
    EXPECT_TRUE(w.spy.isEmpty());
    w.window.show();
    EXPECT_TRUE(w.view->engineCreated());
    EXPECT_EQ(w.nextComplete(), page);

    // A link followed inside the view while off line is blocked and ends on an internal page.
    auto *web = qobject_cast<RemoteBannerWidget *>(w.view->engineWidget());
    ASSERT_NE(web, nullptr);
    web->followLink(QUrl(server.url(QStringLiteral("/other"))));
    EXPECT_TRUE(w.nextComplete().contains(QLatin1String("res:")));
    // So is a navigation to an address that has no saved copy.
    w.view->Navigate(server.url(QStringLiteral("/never")));
    EXPECT_TRUE(w.nextComplete().contains(QLatin1String("res:")));
    QTest::qWait(200);
    EXPECT_EQ(server.paths.size(), requests) << server.paths.join(QLatin1Char(' ')).toStdString();

    // Off line in a hidden window the engine goes; showing the window brings the last page back.
    w.window.hide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.view->engineCreated(); }, 5000));
    w.spy.clear();
    w.window.show();
    EXPECT_TRUE(w.view->engineCreated());
    EXPECT_EQ(w.nextComplete(), page);
    EXPECT_EQ(server.paths.size(), requests);
}

TEST(BannerView, AFailedOnlineLoadEndsOnAnInternalPage) {
    QTemporaryDir cache;
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closedPort = probe.serverPort();
    }
    BannerWindow w(cache.path());
    w.window.show();
    w.view->Navigate(QStringLiteral("http://127.0.0.1:%1/services/tarv/index.asp?tarv=10").arg(closedPort));
    const QString address = w.nextComplete();
    EXPECT_TRUE(address.contains(QLatin1String("res:"))) << address.toStdString();
    EXPECT_FALSE(w.view->cache().contains(address));
}

TEST(BannerView, ARedirectedPageIsSavedUnderTheAddressAskedFor) {
    QTemporaryDir cache;
    PageServer server;
    const QString page = server.url(QStringLiteral("/moved?tarv=10"));
    {
        BannerWindow w(cache.path());
        w.view->Navigate(page);
        EXPECT_EQ(w.nextComplete(), server.url(QStringLiteral("/landing")));
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.view->cache().contains(page); }, 20000));
    }
    BannerWindow w(cache.path());
    w.view->setOffline(true);
    w.view->Navigate(page);
    w.window.show();
    EXPECT_FALSE(w.nextComplete().contains(QLatin1String("res:")));
}

TEST(BannerView, TheEngineGoesOnceTheWindowIsHiddenWhateverTheLastLoadDid) {
    QTemporaryDir cache;
    PageServer server;
    BannerWindow w(cache.path());
    // A load on line keeps the engine until it completes and its copy is saved.
    w.view->Navigate(server.url(QStringLiteral("/services/tarv/index.asp?tarv=10")));
    EXPECT_FALSE(w.nextComplete().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.view->engineCreated(); }, 20000));
    // A failed load leaves the view on line, as the main window sets it: the engine still goes.
    w.view->Navigate(QStringLiteral("http://127.0.0.1:9/"));
    EXPECT_TRUE(w.nextComplete().contains(QLatin1String("res:")));
    w.view->setOffline(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.view->engineCreated(); }, 5000));
}

TEST(BannerView, LoadsAfterTheHelperDiedEndOnAnInternalPage) {
    QTemporaryDir cache;
    PageServer server;
    BannerWindow w(cache.path());
    w.window.show();
    w.view->Navigate(server.url(QStringLiteral("/services/tarv/index.asp?tarv=10")));
    EXPECT_FALSE(w.nextComplete().contains(QLatin1String("res:")));
    // The helper is this process's child named after its program.
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = stat.readAll();
        if (text.contains("(tarvbanner)") && text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toInt() == getpid())
            ::kill(entry.toInt(), SIGKILL);
    }
    QTest::qWait(500);
    w.view->Navigate(server.url(QStringLiteral("/again")));
    EXPECT_TRUE(w.nextComplete().contains(QLatin1String("res:")));
}

TEST(BannerView, ShowingTheWindowAgainOnLineBringsThePageBackFromItsCopy) {
    QTemporaryDir cache;
    PageServer server;
    const QString page = server.url(QStringLiteral("/services/tarv/index.asp?tarv=10"));
    BannerWindow w(cache.path());
    w.window.show();
    w.view->Navigate(page);
    EXPECT_EQ(w.nextComplete(), page);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.view->cache().contains(page); }, 20000));
    const int requests = server.paths.size();
    w.window.hide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.view->engineCreated(); }, 5000));
    w.window.show();
    EXPECT_EQ(w.nextComplete(), page);
    EXPECT_EQ(server.paths.size(), requests);
}

namespace {

// A stand-in for the helper program: a shell script that writes its process number to pidFile
// and then does what body says.
QString fakeHelper(const QTemporaryDir &dir, const QString &body) {
    const QString path = dir.filePath(QStringLiteral("helper.sh"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\necho $$ > " + dir.filePath(QStringLiteral("pid")).toUtf8() + "\n" + body.toUtf8() + "\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}

pid_t helperPid(const QTemporaryDir &dir) {
    QFile file(dir.filePath(QStringLiteral("pid")));
    if (!QTest::qWaitFor([&] { return file.exists() && file.size() > 0; }, 5000)) return 0;
    file.open(QIODevice::ReadOnly);
    return pid_t(file.readAll().trimmed().toInt());
}

bool running(pid_t pid) {
    return pid > 0 && ::kill(pid, 0) == 0;
}

} // namespace

TEST(BannerHelper, AHelperThatHangsOrSendsAnEndlessLineIsKilledAndItsLoadFails) {
    const struct {
        const char *what;
        const char *body;
        int loadDeadlineMs;
    } cases[] = {
        {"silent", "exec sleep 600", 500},
        {"an endless line", "head -c 3000000 /dev/zero; exec sleep 600", 600000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        QWidget parent;
        RemoteBannerEngine engine(fakeHelper(dir, QString::fromLatin1(c.body)), &parent, {c.loadDeadlineMs, 600000});
        ASSERT_TRUE(engine.started());
        const pid_t pid = helperPid(dir);
        int failed = 0;
        engine.onLoadFinished = [&](bool ok) { failed += ok ? 0 : 1; };
        engine.load(QUrl(QStringLiteral("http://127.0.0.1:9/")));
        EXPECT_TRUE(QTest::qWaitFor([&] { return failed > 0; }, 15000));
        EXPECT_FALSE(engine.started());
        EXPECT_FALSE(running(pid));
    }
}

TEST(BannerHelper, AHelperThatIgnoresTheEndOfItsInputDoesNotOutliveTheProgram) {
    QTemporaryDir dir;
    pid_t pid = 0;
    {
        QWidget parent;
        RemoteBannerEngine engine(fakeHelper(dir, QStringLiteral("trap '' HUP TERM\nexec sleep 600")), &parent,
                                  {600000, 600000});
        ASSERT_TRUE(engine.started());
        pid = helperPid(dir);
    }
    // The engine has gone while the program runs: the helper is left its grace.
    QTest::qWait(200);
    EXPECT_TRUE(running(pid));
    // The program ends: the helper goes with it.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    EXPECT_FALSE(running(pid));
    if (running(pid)) ::kill(pid, SIGKILL);
}
