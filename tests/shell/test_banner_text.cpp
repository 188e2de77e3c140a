#include "net/scriptedserver.h"
#include "shell/bannerarchive.h"
#include "shell/bannerview.h"

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTextBrowser>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::Peer;
using tarv::test::ScriptedServer;

namespace {

// Every banner of this binary uses the light view.
const bool lightView = [] {
    qputenv("TARV_BANNER_ENGINE", "text");
    return true;
}();

const char kPagePath[] = "/services/tarv/index.asp?tarv=10";

QByteArray picture() {
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray response(const QByteArray &status, const QByteArray &type, const QByteArray &body) {
    return "HTTP/1.0 " + status + "\r\nContent-Type: " + type + "\r\n\r\n" + body;
}

// The maker's page (Greek text in the Greek code page, a picture and a link), the picture, and
// "not found" for everything else.
void serveBanner(Peer &peer, ScriptedServer &server) {
    const QByteArray request = server.take(peer);
    const QByteArray path = request.split(' ').value(1);
    if (path == kPagePath)
        peer.send(response("200 OK", "text/html; charset=windows-1253",
                           "<html><body>\xC3\xE5\xE9\xDC <img src=\"/pic.png\"> <a href=\"more.html\">more</a>"
                           "</body></html>"));
    else if (path == "/slow")
        peer.holdOpen();
    else if (path == "/pic.png")
        peer.send(response("200 OK", "image/png", picture()));
    else
        peer.send(response("404 Not Found", "text/html", "<html>no</html>"));
}

// Whether the view shows the red picture somewhere.
bool showsPicture(QWidget *view) {
    const QImage shot = view->grab().toImage();
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixelColor(x, y) == QColor(Qt::red)) return true;
    return false;
}

struct BannerWindow {
    explicit BannerWindow(const QString &cache)
        : view(new BannerView(cache, &window)), spy(view, &BannerView::DocumentComplete) {
        window.resize(284, 308);
        view->setGeometry(11, 69, 261, 168);
    }
    QString nextComplete() {
        if (spy.isEmpty() && !spy.wait(30000)) return {};
        return spy.takeFirst().at(1).toString();
    }
    QTextBrowser *browser() const { return qobject_cast<QTextBrowser *>(view->engineWidget()); }
    QWidget window;
    BannerView *view;
    QSignalSpy spy;
};

} // namespace

TEST(LightBanner, LoadsOnLineSavesACopyAndShowsItOffLine) {
    QTemporaryDir cache;
    ScriptedServer *self = nullptr;
    ScriptedServer server([&self](Peer &peer, int) { serveBanner(peer, *self); });
    self = &server;
    const QString page = QStringLiteral("http://127.0.0.1:%1%2").arg(server.port()).arg(QLatin1String(kPagePath));
    {
        BannerWindow w(cache.path());
        w.window.show();
        w.view->setOffline(false);
        w.view->Navigate(page);
        EXPECT_EQ(w.nextComplete(), page);
        ASSERT_NE(w.browser(), nullptr);
        EXPECT_TRUE(w.browser()->toPlainText().contains(QStringLiteral("Γειά")));
        EXPECT_EQ(server.requests().size(), 2);
        EXPECT_TRUE(showsPicture(w.browser()));

        // The copy holds the page and its picture.
        ASSERT_TRUE(w.view->cache().contains(page));
        QFile file(w.view->cache().pathFor(page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        BannerArchive archive;
        ASSERT_TRUE(BannerArchive::fromBytes(file.readAll(), archive));
        EXPECT_EQ(archive.location, QUrl(page));
        ASSERT_EQ(archive.resources.size(), 1);
        EXPECT_EQ(archive.resources.at(0).data, picture());

        // A page the server does not have ends on an internal page.
        w.view->Navigate(QStringLiteral("http://127.0.0.1:%1/gone.html").arg(server.port()));
        EXPECT_TRUE(w.nextComplete().contains(QLatin1String("res:")));
    }
    server.stop();
    const int served = server.connections();

    // Off line the next start shows the saved copy, picture included, without the network.
    BannerWindow w(cache.path());
    w.window.show();
    w.view->setOffline(true);
    w.view->Navigate(page);
    EXPECT_EQ(w.nextComplete(), page);
    ASSERT_NE(w.browser(), nullptr);
    EXPECT_TRUE(w.browser()->toPlainText().contains(QStringLiteral("Γειά")));
    EXPECT_TRUE(showsPicture(w.browser()));
    EXPECT_EQ(server.connections(), served);

    // A link chosen with the keyboard is handed out, resolved against the page, not loaded.
    QSignalSpy links(w.view, &BannerView::LinkActivated);
    w.browser()->setFocus();
    QTest::keyClick(w.browser(), Qt::Key_Tab);
    QTest::keyClick(w.browser(), Qt::Key_Return);
    ASSERT_EQ(links.size(), 1);
    EXPECT_EQ(links.at(0).at(0).toString(), QStringLiteral("http://127.0.0.1:%1/services/tarv/more.html").arg(server.port()));
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.spy.isEmpty());
}

TEST(LightBanner, ReadsCopiesOtherBrowsersSaved) {
    // Quoted-printable page, folded header lines, base64 picture, bare line ends.
    const QByteArray saved = "MIME-Version: 1.0\n"
                             "Content-Type: multipart/related;\n\ttype=\"text/html\";\n\tboundary=\"B\"\n\n"
                             "--B\nContent-Type: text/html\nContent-Transfer-Encoding: quoted-printable\n"
                             "Content-Location: http://h/p\n\n<p>a=3Db=\nc</p>\n"
                             "--B\nContent-Type: image/png\nContent-Transfer-Encoding: base64\n"
                             "Content-Location: http://h/i.png\n\n" +
                             picture().toBase64() + "\n--B--\n";
    BannerArchive archive;
    ASSERT_TRUE(BannerArchive::fromBytes(saved, archive));
    EXPECT_EQ(archive.location, QUrl("http://h/p"));
    EXPECT_EQ(archive.html, "<p>a=bc</p>");
    ASSERT_EQ(archive.resources.size(), 1);
    EXPECT_EQ(archive.resources.at(0).data, picture());

    BannerArchive again;
    ASSERT_TRUE(BannerArchive::fromBytes(archive.toBytes(), again));
    EXPECT_EQ(again.html, archive.html);
    EXPECT_EQ(again.resources.at(0).location, QUrl("http://h/i.png"));
    EXPECT_FALSE(BannerArchive::fromBytes("<html>plain</html>", again));
}

TEST(LightBanner, ANewLoadOrTheEngineGoingDuringAFetchIsSafe) {
    QTemporaryDir cache;
    ScriptedServer *self = nullptr;
    ScriptedServer server([&self](Peer &peer, int) { serveBanner(peer, *self); });
    self = &server;
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    const QString page = base + QLatin1String(kPagePath);
    BannerWindow w(cache.path());
    w.window.show();
    w.view->setOffline(false);

    // A page that never comes gives way to the next navigation, and only that one completes.
    w.view->Navigate(base + QStringLiteral("/slow"));
    QTimer::singleShot(200, w.view, [&] { w.view->Navigate(page); });
    EXPECT_EQ(w.nextComplete(), page);
    QTest::qWait(100);
    EXPECT_TRUE(w.spy.isEmpty());

    // The engine may go while a fetch waits: the fetch ends and nothing touches the engine.
    w.view->Navigate(base + QStringLiteral("/slow"));
    bool gone = false;
    QTimer::singleShot(200, &w.window, [&] {
        delete w.view;
        gone = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(gone, 5000);
    QTest::qWait(100);
}

TEST(LightBanner, APageOverTheLimitsIsNeitherShownNorSavedOnLineOrOff) {
    // Nested tables that take seconds to lay out, a cell spanning a million columns, and a
    // picture whose header claims 16000 by 16000 pixels.
    QString tables;
    for (int i = 0; i < 17; ++i) tables = QStringLiteral("<table><tr><td>") + tables;
    QByteArray bomb(54, '\0');
    bomb[0] = 'B', bomb[1] = 'M', bomb[10] = 54, bomb[14] = 40, bomb[26] = 1, bomb[28] = 24;
    qToLittleEndian(qint32(16000), bomb.data() + 18);
    qToLittleEndian(qint32(16000), bomb.data() + 22);
    const QByteArray hostile[] = {
        tables.toLatin1() + "deep",
        "<table><tr><td colspan=1000000>wide</td></tr></table>",
        "<img src=\"data:image/bmp;base64," + bomb.toBase64() + "\">big",
    };
    QTemporaryDir cache;
    ScriptedServer *self = nullptr;
    ScriptedServer server([&](Peer &peer, int) {
        const QByteArray path = self->take(peer).split(' ').value(1);
        // The good page's picture is inline: it is decoded from the page itself.
        const QByteArray good = "<img src=\"data:image/png;base64," + picture().toBase64() + "\">good";
        const QByteArray body = path == kPagePath ? good : hostile[path.mid(1).toInt() % 3];
        peer.send(response("200 OK", "text/html", "<html><body>" + body + "</body></html>"));
    });
    self = &server;
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    BannerWindow w(cache.path());
    w.window.show();
    w.view->setOffline(false);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        // A good page first, so that the view has something on view to lose.
        w.view->Navigate(base + QLatin1String(kPagePath));
        ASSERT_EQ(w.nextComplete(), base + QLatin1String(kPagePath));
        EXPECT_TRUE(showsPicture(w.browser()));
        const QString page = base + QStringLiteral("/%1").arg(i);
        w.view->Navigate(page);
        EXPECT_TRUE(w.nextComplete().contains(QLatin1String("res:")));
        EXPECT_TRUE(w.browser()->toPlainText().trimmed().isEmpty()) << qPrintable(w.browser()->toPlainText());
        EXPECT_FALSE(w.view->cache().contains(page));
    }

    // A copy saved by someone else (the web engine, or before these limits) is refused off line.
    BannerArchive copy;
    copy.location = QUrl(base + QStringLiteral("/copy"));
    copy.html = "<html><body>" + hostile[0] + "</body></html>";
    ASSERT_TRUE(w.view->cache().ensureFolder());
    QFile file(w.view->cache().pathFor(copy.location.toString()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(copy.toBytes());
    file.close();
    w.view->setOffline(true);
    w.view->Navigate(copy.location.toString());
    EXPECT_TRUE(w.nextComplete().contains(QLatin1String("res:")));
    EXPECT_TRUE(w.browser()->toPlainText().trimmed().isEmpty());
}
