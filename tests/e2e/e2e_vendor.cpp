// The vendor menu and the banner end to end: the main window over a fake dial-up service, with
// the maker's server played by a local nginx on 127.0.0.1.
#include "e2e_vendor_nginx.h"
#include "framework/application.h"
#include "framework/textformat.h"
#include "platform/fakes/fakes.h"
#include "shell/bannerdriver.h"
#include "shell/bannerview.h"
#include "shell/tform1.h"
#include "shell/vendormenu.h"
#include "support/parts.h"
#include "support/tempdir.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tarv;
using tarv::test::LocalNginx;
using tarv::test::part;

namespace {

// The web engine refuses to start as root with its sandbox on; a normal user keeps the sandbox.
const bool sandboxChecked = [] {
    // As root the program uses the light view unless the web engine is chosen explicitly.
    qputenv("TARV_BANNER_ENGINE", "web");
    if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    return true;
}();

const QString kMenuPath = QStringLiteral("/services/tarv/popup.txt");
const QString kBannerPath = QStringLiteral("/services/tarv/index.asp");
const QByteArray kOldMenu = "Old|http://old.example/\r\n";

QByteArray bannerPage() {
    return "<html><head><meta charset='utf-8'></head>"
           "<body style='margin:0;background:#1d3f6e;color:#fff;font:bold 15px sans-serif'>"
           "<div style='padding:18px 12px'>Internet by Pelmo<br>"
           "<span "
           "style='font-weight:normal;font-size:12px'>&#x3a0;&#x3c1;&#x3bf;&#x3c3;&#x3c6;&#x3bf;&#x3c1;&#"
           "x3ad;&#x3c2; "
           "&#x3c3;&#x3c5;&#x3bd;&#x3b4;&#x3ad;&#x3c3;&#x3b5;&#x3c9;&#x3bd;</span></div>"
           "<div style='margin:0 12px;height:60px;background:linear-gradient(90deg,#e0a020,#c04010)'></div>"
           "</body></html>";
}

QByteArray newMenu() {
    return fmt::toCp1253(QStringLiteral("Αρχική σελίδα|http://127.0.0.1/home\r\n"
                                        "Τιμοκατάλογος|http://127.0.0.1/prices\r\n"
                                        "-\r\n"
                                        "Απόκρυψη|MMhide\r\n"
                                        "Έξοδος|MMexit\r\n"));
}

// The main window over fakes, with its data folder and saved banner pages in folder.
struct Window {
    Window(const QString &folder, const QString &makerUrl) {
        Platform p = fakePlatform(folder, {}, dialup);
        p.executablePath = folder + QStringLiteral("/tarv");
        p.makerUrl = makerUrl;
        form = std::make_unique<TForm1>(p);
        form->setBannerCacheFolder(folder + QStringLiteral("/cache"));
        form->FormCreate();
        part<QTimer>(form, "tickTimer")->stop(); // the test runs the tick itself
    }
    QStringList captions() const {
        QStringList c;
        for (QAction *a : part<QMenu>(form, "vendorMenu")->actions())
            c << vendorItemCaption(a);
        return c;
    }
    bool bannerShown() const {
        return part<BannerView>(form)->Visible() &&
               part<BannerView>(form)->geometry() == QRect(11, 69, 261, 168);
    }
    void connect() {
        dialup->setSingle(DialState::Connected);
        form->timerTick();
    }

    std::shared_ptr<FakeDialupService> dialup = std::make_shared<FakeDialupService>();
    std::unique_ptr<TForm1> form;
};

void saveScreenshots(TForm1 &form) {
    const QString dir = QStringLiteral(TARV_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    const QImage window = form.grab().toImage();
    window.save(dir + QStringLiteral("/vendor-banner.png"));

    // The vendor menu opens upwards from the maker's label, over the window.
    QMenu *menu = part<QMenu>(form, "vendorMenu");
    menu->popup(form.mapToGlobal(QPoint(14, 256 - 16 * int(menu->actions().size()))));
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); })) return;
    QTest::qWait(100);
    const QImage drawn = menu->grab().toImage();
    menu->hide();
    const QPoint at(14, 256 - drawn.height());
    QImage both(std::max(window.width(), at.x() + drawn.width()), std::max(window.height(), 256),
                QImage::Format_RGB32);
    both.fill(Qt::darkGray);
    QPainter p(&both);
    p.drawImage(0, 0, window);
    p.drawImage(at.x(), std::max(0, at.y()), drawn);
    p.end();
    both.save(dir + QStringLiteral("/vendor-menu.png"));
}

class VendorEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        setErrorSink([this](const QString &m) { errors << m; });
        server = std::make_unique<LocalNginx>(serverDir.path());
        server->put(kBannerPath, bannerPage());
        server->put(kMenuPath, newMenu());
        ASSERT_TRUE(server->start()) << "nginx did not start";
        test::writeFile(dataDir.path() + QStringLiteral("/popup.txt"), kOldMenu);
    }
    void TearDown() override {
        server.reset();
        setErrorSink({});
    }

    QTemporaryDir serverDir;
    QTemporaryDir dataDir;
    std::unique_ptr<LocalNginx> server;
    QStringList errors;
};

} // namespace

TEST_F(VendorEndToEnd, AConnectionLoadsTheBannerAndRefreshesTheMenu) {
    Window w(dataDir.path(), server->url());
    EXPECT_EQ(w.captions(), QStringList{"Old   "});
    w.form->QWidget::show();

    w.connect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.bannerShown(); }, 30000))
        << server->requests().join('\n').toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.captions().size() == 5; }, 10000));
    EXPECT_EQ(w.captions().at(0), QStringLiteral("Αρχική σελίδα   "));
    EXPECT_EQ(w.captions().at(2), QString());
    EXPECT_EQ(test::readFile(dataDir.path() + QStringLiteral("/popup.txt")), newMenu());
    EXPECT_GE(server->count(QStringLiteral("/services/tarv/index.asp?tarv=10"), 200), 1);
    EXPECT_TRUE(server->requests().contains(QStringLiteral("GET /services/tarv/popup.txt HTTP/1.0")));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    QTest::qWait(300); // let the page paint before the pictures are taken
    saveScreenshots(*w.form);

    // A 404 keeps the menu and its file.
    server->remove(kMenuPath);
    w.form->bannerOnline();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->count(kMenuPath, 404) == 1; }, 30000));
    QTest::qWait(200);
    EXPECT_EQ(w.captions().size(), 5);
    EXPECT_EQ(test::readFile(dataDir.path() + QStringLiteral("/popup.txt")), newMenu());

    // With the server down, a completed page's refresh fails: the menu stays, the error is shown.
    server->stop();
    BannerView *view = part<BannerView>(w.form);
    const QString address = part<BannerDriver>(w.form)->address();
    QMetaObject::invokeMethod(
        view, [view, address] { emit view->DocumentComplete(view, address); }, Qt::QueuedConnection);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !errors.isEmpty(); }, 10000));
    EXPECT_EQ(errors, QStringList{"Connection Failed"});
    EXPECT_EQ(w.captions().size(), 5);
    EXPECT_EQ(test::readFile(dataDir.path() + QStringLiteral("/popup.txt")), newMenu());
}

TEST_F(VendorEndToEnd, AStartWithASavedCopyShowsTheBannerWithoutTheServer) {
    {
        Window first(dataDir.path(), server->url());
        first.connect();
        ASSERT_TRUE(QTest::qWaitFor([&] { return first.bannerShown(); }, 30000));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return part<BannerView>(first.form)
                    ->cache()
                    .contains(part<BannerDriver>(first.form)->address());
            },
            20000));
    }
    const QStringList before = server->requests();
    test::writeFile(dataDir.path() + QStringLiteral("/popup.txt"), kOldMenu);

    Window w(dataDir.path(), server->url());
    EXPECT_EQ(w.captions(), QStringList{"Old   "}) << "built from the file on disk";
    QTest::qWait(200);
    EXPECT_FALSE(part<BannerView>(w.form)->engineCreated()) << "no engine while the window is hidden";
    w.form->QWidget::show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.bannerShown(); }, 30000));
    EXPECT_TRUE(part<BannerView>(w.form)->Offline());
    QTest::qWait(500);
    EXPECT_EQ(server->requests(), before) << "no request reached the server";
    EXPECT_EQ(w.captions(), QStringList{"Old   "});
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}
