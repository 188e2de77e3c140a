#include "framework/application.h"
#include "framework/errors.h"
#include "platform/fakes/fakes.h"
#include "shell/bannerdriver.h"
#include "shell/bannerview.h"
#include "shell/tform1.h"
#include "shell/vendormenu.h"
#include "shell/vendormenuloader.h"
#include "stats/statspanel.h"
#include "support/parts.h"
#include "support/tempdir.h"
#include "test_vendor_server.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFrame>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::part;
using tarv::test::ScriptedServer;

namespace {

const QByteArray kMenu = "Site|http://www.example.org/\r\n-\r\nExit|MMexit\r\n";

// The main window over fakes, with its data folder and banner cache in a temporary folder and
// the maker's host on a local scripted server.
struct VendorRig {
    explicit VendorRig(const QByteArray &menuFile = {}, bool create = true) {
        setErrorSink([this](const QString &m) { errors << m; });
        if (!menuFile.isNull()) test::writeFile(menuPath(), menuFile);
        Platform p = fakePlatform(dir.path(), {}, {}, {}, shell);
        p.executablePath = dir.filePath(QStringLiteral("tarv"));
        p.makerUrl = server.url();
        form = std::make_unique<TForm1>(p);
        form->setBannerCacheFolder(dir.filePath(QStringLiteral("cache")));
        if (create) form->FormCreate();
    }
    ~VendorRig() {
        form.reset();
        setErrorSink({});
    }
    QString menuPath() const { return dir.filePath(QStringLiteral("popup.txt")); }
    VendorMenuLoader *loader() const { return part<VendorMenuLoader>(form); }
    QList<QAction *> items() const { return part<QMenu>(form, "vendorMenu")->actions(); }
    QStringList captions() const {
        QStringList c;
        for (QAction *a : items())
            c << vendorItemCaption(a);
        return c;
    }
    QAction *itemWithHint(const QString &hint) const {
        QAction *a = makeVendorMenuItem({QStringLiteral("x"), hint, false}, form.get());
        QObject::connect(a, &QAction::triggered, form.get(),
                         [this, a] { part<VendorMenuLoader>(form)->itemClick(a); });
        return a;
    }

    QTemporaryDir dir;
    ScriptedServer server;
    std::shared_ptr<RecordingShellOpener> shell = std::make_shared<RecordingShellOpener>();
    std::unique_ptr<TForm1> form;
    QStringList errors;
};

} // namespace

TEST(VendorForm, StartUpBuildsTheMenuFromTheFileOnDiskWithoutDownloading) {
    VendorRig rig(kMenu);
    EXPECT_EQ(rig.captions(), (QStringList{"Site   ", "", "Exit   "}));
    EXPECT_FALSE(rig.items().at(1)->isEnabled());
    EXPECT_TRUE(rig.server.paths.isEmpty());

    VendorRig none;
    EXPECT_TRUE(none.items().isEmpty());
}

TEST(VendorForm, BannerWithoutSavedCopyEndsHiddenAtStartUp) {
    VendorRig rig(kMenu);
    BannerView *view = part<BannerView>(rig.form);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->geometry(), QRect(11, 366, 261, 0));
    EXPECT_TRUE(view->Offline());
    QTest::qWait(50);
    EXPECT_EQ(view->geometry(), QRect(11, 350, 261, 0));
    EXPECT_FALSE(view->Visible());
    EXPECT_FALSE(view->Offline()) << "a failed load leaves the view on line";
    EXPECT_FALSE(view->engineCreated());
}

TEST(VendorForm, DocumentCompleteShowsTheViewUnlessParkedByTheStatisticsPanel) {
    VendorRig rig(kMenu);
    QTest::qWait(50);
    BannerView *view = part<BannerView>(rig.form);
    view->resize(100, 0);
    emit view->DocumentComplete(view, part<BannerDriver>(rig.form)->address());
    EXPECT_EQ(view->geometry(), QRect(11, 69, 261, 168));
    EXPECT_TRUE(view->Visible());

    // An internal page hides it again.
    emit view->DocumentComplete(view, QStringLiteral("res://navigation-failed/#x"));
    EXPECT_EQ(view->geometry(), QRect(11, 350, 261, 0));
    EXPECT_FALSE(view->Visible());

    rig.form->statsPanel()->show();
    view->move(11, 450);
    emit view->DocumentComplete(view, part<BannerDriver>(rig.form)->address());
    EXPECT_EQ(view->geometry(), QRect(11, 450, 261, 168));
    EXPECT_TRUE(view->Visible());
}

TEST(VendorForm, ARebuildWaitsUntilTheOpenMenuCloses) {
    VendorRig rig(kMenu);
    const QList<QAction *> before = rig.items();
    part<QMenu>(rig.form, "vendorMenu")->popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return part<QMenu>(rig.form, "vendorMenu")->isVisible(); }));
    test::writeFile(rig.menuPath(), "Only|http://a/\r\n");
    rig.loader()->load();
    EXPECT_EQ(rig.items(), before) << "the items under the open menu stay";
    part<QMenu>(rig.form, "vendorMenu")->hide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.items().size() == 1; }));
    EXPECT_EQ(rig.captions(), QStringList{"Only   "});
}

TEST(VendorForm, AnUnreadableOrMissingFileKeepsTheItems) {
    VendorRig rig(kMenu);
    QFile::remove(rig.menuPath());
    rig.loader()->load();
    EXPECT_EQ(rig.items().size(), 3);

    // A folder in the file's place cannot be read: the error goes to the caller.
    QDir(rig.dir.path()).mkdir(QStringLiteral("popup.txt"));
    EXPECT_THROW(rig.loader()->load(), EInOutError);
    EXPECT_EQ(rig.items().size(), 3);
}

TEST(VendorForm, ChoosingAnItemOpensOnlyWebAddresses) {
    VendorRig rig(kMenu);
    for (const char *hint : {" http://a.example/x ", "/usr/bin/xterm", "mmexit", "file:///etc/passwd", "",
                             "MMdisconnect", "MM hide"})
        rig.itemWithHint(QString::fromLatin1(hint))->trigger();
    EXPECT_EQ(rig.shell->opened, QStringList{"http://a.example/x"});
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(VendorForm, HideCommandHidesTheWindowAndSetsTheTrayCaption) {
    VendorRig rig(kMenu);
    rig.form->QWidget::show();
    part<QAction>(rig.form, "showItem")->setText(QStringLiteral("Απόκρυψη"));
    rig.itemWithHint(QStringLiteral(" MMhide "))->trigger();
    EXPECT_FALSE(rig.form->isVisible());
    EXPECT_EQ(part<QAction>(rig.form, "showItem")->text(), QStringLiteral("Εμφάνιση"));
}

TEST(VendorForm, ExitCommandRequestsTheExit) {
    VendorRig rig(kMenu);
    QSignalSpy requests(rig.form.get(), &TForm1::exitRequested);
    rig.itemWithHint(QStringLiteral("MMexit"))->trigger();
    EXPECT_EQ(requests.size(), 1);
}

TEST(VendorForm, DownloadReplacesTheMenuOnlyWithACompleteSuccessfulBody) {
    VendorRig rig(kMenu);
    rig.form->state().online = true;
    const QString path = QStringLiteral("/services/tarv/popup.txt");

    rig.server.answer = {"200 OK", "New|http://n/\r\n"};
    rig.loader()->load();
    EXPECT_EQ(rig.server.paths, QStringList{path});
    EXPECT_EQ(rig.captions(), QStringList{"New   "});
    EXPECT_EQ(test::readFile(rig.menuPath()), QByteArray("New|http://n/\r\n"));

    struct Bad {
        const char *name;
        ScriptedServer::Answer answer;
    };
    const Bad bad[] = {
        {"not found", {"404 Not Found", "<html>Not here</html>"}},
        {"server error", {"500 Internal Server Error", "oops"}},
        {"cut off body", {"200 OK", "A|http://a/\r\n", 5000}},
        {"no answer", {"200 OK", {}, -1, true}},
    };
    for (const Bad &b : bad) {
        rig.server.answer = b.answer;
        rig.loader()->load();
        EXPECT_EQ(rig.captions(), QStringList{"New   "}) << b.name;
        EXPECT_EQ(test::readFile(rig.menuPath()), QByteArray("New|http://n/\r\n")) << b.name;
        EXPECT_FALSE(QFile::exists(rig.menuPath() + QStringLiteral(".part"))) << b.name;
    }
}

TEST(VendorForm, ACallDuringTheDownloadReturnsAtOnce) {
    VendorRig rig(kMenu);
    rig.form->state().online = true;
    rig.server.answer = {"200 OK", "New|http://n/\r\n", -1, false, 400};
    bool nestedReturned = false;
    rig.server.whileAnswering = [&] {
        rig.loader()->load();
        nestedReturned = true;
    };
    rig.loader()->load();
    EXPECT_TRUE(nestedReturned);
    EXPECT_EQ(rig.server.paths.size(), 1);
    EXPECT_EQ(rig.captions(), QStringList{"New   "});
}

TEST(VendorForm, AFailedConnectionKeepsTheMenuAndRaises) {
    VendorRig rig(kMenu);
    rig.form->state().online = true;
    quint16 closed = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closed = probe.serverPort();
    }
    // The same window, pointed at a port nobody listens on.
    Platform p = rig.form->meter().platform();
    p.makerUrl = QStringLiteral("http://127.0.0.1:%1/").arg(closed);
    TForm1 other(p);
    other.setBannerCacheFolder(rig.dir.filePath(QStringLiteral("cache")));
    other.FormCreate();
    other.state().online = true;
    ASSERT_EQ(part<QMenu>(other, "vendorMenu")->actions().size(), 3);
    try {
        part<VendorMenuLoader>(other)->load();
        ADD_FAILURE() << "no error";
    } catch (const std::exception &e) {
        EXPECT_STREQ(e.what(), "Connection Failed");
    }
    EXPECT_EQ(part<QMenu>(other, "vendorMenu")->actions().size(), 3);
    EXPECT_EQ(test::readFile(rig.menuPath()), kMenu);
}

TEST(VendorForm, AMenuOverTheCapOrPastTheDeadlineKeepsTheOldMenuAndRaises) {
    VendorRig rig(kMenu);
    rig.form->state().online = true;
    rig.loader()->setDownloadLimits(1000, 256 * 1024);
    QByteArray huge;
    while (huge.size() <= 256 * 1024)
        huge += "Item|http://www.example.org/\r\n";
    const struct {
        const char *name;
        ScriptedServer::Answer answer;
        const char *error;
    } cases[] = {
        {"a menu over 256 KiB", {"200 OK", huge}, "Response body too long"},
        {"an answer after the deadline", {"200 OK", "New|http://n/\r\n", -1, false, 3000}, "Transfer time limit reached"},
    };
    for (const auto &c : cases) {
        rig.server.answer = c.answer;
        QString error;
        try {
            rig.loader()->load();
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        }
        EXPECT_EQ(error, QLatin1String(c.error)) << c.name;
        EXPECT_EQ(test::readFile(rig.menuPath()), kMenu) << c.name;
        EXPECT_FALSE(QFile::exists(rig.menuPath() + QStringLiteral(".part"))) << c.name;
    }
}
