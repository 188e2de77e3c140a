#include "faketrayhost.h"
#include "shell/trayicon.h"

#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::FakeTrayHost;

namespace {

QIcon solidIcon(const QColor &color) {
    QPixmap pm(16, 16);
    pm.fill(color);
    return QIcon(pm);
}

// A form with one tray icon whose events are counted.
struct TrayRig {
    TrayRig() {
        auto owned = std::make_unique<FakeTrayHost>();
        host = owned.get();
        host->stock = solidIcon(Qt::blue);
        tray = new TTrayIcon(&form, std::move(owned));
        tray->OnClick = [this](QObject *s) {
            fired << "click";
            sender = s;
        };
        tray->OnDblClick = [this](QObject *) { fired << "dbl"; };
        tray->OnMouseDown = [this](QObject *) { fired << "down"; };
        tray->OnMouseMove = [this](QObject *) { fired << "move"; };
        tray->OnMouseUp = [this](QObject *) { fired << "up"; };
    }
    QWidget form;
    FakeTrayHost *host = nullptr;
    TTrayIcon *tray = nullptr;
    QStringList fired;
    QObject *sender = nullptr;
};

} // namespace

TEST(TrayIcon, MouseMessagesBecomeEvents) {
    struct Row {
        unsigned message;
        const char *event;
        qintptr result;
    };
    const Row rows[] = {
        {MouseMove, "move", 0},
        {LeftDown, "down", 0},
        {MiddleDown, "down", 0},
        {LeftUp, "up", 0},
        {RightUp, "up", 0},
        {MiddleUp, "up", 0},
        {LeftDblClk, "dbl", 0},
        {RightDblClk, "dbl", 0},
        {MiddleDblClk, "dbl", 0},
        {0x20A /* wheel */, "", 1},
        {511, "", 1},
        {522, "", 1},
    };
    for (const Row &row : rows) {
        TrayRig rig;
        EXPECT_EQ(rig.host->mouse(row.message), row.result) << row.message;
        EXPECT_EQ(rig.fired.join(','), QString::fromLatin1(row.event)) << row.message;
    }
}

TEST(TrayIcon, PressRuleOpensTheMenuOnARightPressOnly) {
    TrayRig rig;
    QMenu menu;
    rig.tray->setPopupMenu(&menu);
    rig.host->cursor = QPoint(700, 12);
    rig.host->mouse(RightDown);
    ASSERT_EQ(rig.host->popups.size(), 1);
    EXPECT_EQ(rig.host->popups.first().first, &menu);
    EXPECT_EQ(rig.host->popups.first().second, QPoint(700, 12));
    EXPECT_EQ(rig.host->foreground, &rig.form);
    EXPECT_TRUE(rig.fired.isEmpty());

    // A left or middle press fires OnMouseDown even with a menu.
    rig.host->mouse(LeftDown);
    rig.host->mouse(MiddleDown);
    EXPECT_EQ(rig.fired.join(','), QStringLiteral("down,down"));
    EXPECT_EQ(rig.host->popups.size(), 1);

    // Automatic pop-up off: the right press is an ordinary press.
    rig.fired.clear();
    setMenuAutoPopup(&menu, false);
    rig.host->mouse(RightDown);
    EXPECT_EQ(rig.fired.join(','), QStringLiteral("down"));
    EXPECT_EQ(rig.host->popups.size(), 1);
}

TEST(TrayIcon, OnClickFiresOnThePressOnlyWithoutOnMouseDown) {
    TrayRig rig;
    rig.tray->OnMouseDown = nullptr;
    rig.host->mouse(RightDown); // no menu
    rig.host->mouse(LeftDown);
    rig.host->mouse(LeftUp);
    EXPECT_EQ(rig.fired.join(','), QStringLiteral("click,click,up"));
    EXPECT_EQ(rig.sender, rig.tray);
    // A double click arrives as press, release, double click, release.
    rig.fired.clear();
    rig.tray->OnClick = nullptr;
    for (unsigned m : {LeftDown, LeftUp, LeftDblClk, LeftUp})
        rig.host->mouse(m);
    EXPECT_EQ(rig.fired.join(','), QStringLiteral("up,dbl,up"));
}

TEST(TrayIcon, OtherMessagesGoToTheSavedProcedure) {
    TrayRig rig;
    QList<unsigned> seen;
    rig.tray->savedWindowProc = [&](TrayMessage &m) {
        seen << m.msg;
        m.result = 42;
    };
    TrayMessage other{WmUser + 2, 1, LeftDblClk, 0};
    rig.tray->HookWndProc(other);
    EXPECT_EQ(other.result, 42);
    EXPECT_EQ(seen, QList<unsigned>{WmUser + 2});
    EXPECT_TRUE(rig.fired.isEmpty());
}

TEST(TrayIcon, RecordCarriesFlagsTipAndIcon) {
    TrayRig rig;
    rig.tray->ShowIcon();
    ASSERT_EQ(rig.host->calls.size(), 1);
    const NotifyIconData add = rig.host->calls.last().data;
    EXPECT_EQ(rig.host->calls.last().op, NotifyOp::Add);
    EXPECT_EQ(add.size, 88u);
    EXPECT_EQ(add.window, &rig.form);
    EXPECT_EQ(add.id, 1u);
    EXPECT_EQ(add.callbackMessage, 1025u);
    EXPECT_EQ(add.flags, 3u);
    // No image of its own: the stock icon stands in.
    EXPECT_EQ(add.icon.cacheKey(), rig.host->stock.cacheKey());

    rig.tray->setTip(QStringLiteral("Σύνδεση: Ενεργή"));
    EXPECT_EQ(rig.host->calls.last().op, NotifyOp::Modify);
    EXPECT_EQ(rig.host->calls.last().data.flags, 7u);
    EXPECT_EQ(rig.host->calls.last().data.tip, QStringLiteral("Σύνδεση: Ενεργή"));

    // An empty tip sends no tip flag, so the shown tip stays as it was.
    rig.tray->setTip(QString());
    EXPECT_EQ(rig.host->calls.last().data.flags, 3u);

    // A tip longer than 63 characters reaches the platform as its first 63.
    const QString longTip = QString(70, QChar(0x03A3));
    rig.tray->setTip(longTip);
    EXPECT_EQ(rig.host->calls.last().data.tip, longTip.left(63));
    EXPECT_EQ(rig.tray->Tip(), longTip);

    // Setting the icon tells the area twice: the copy's change, then the setter itself.
    const QIcon red = solidIcon(Qt::red);
    const auto before = rig.host->calls.size();
    rig.tray->setIcon(red);
    ASSERT_EQ(rig.host->calls.size(), before + 2);
    EXPECT_EQ(rig.host->calls.last().data.icon.cacheKey(), red.cacheKey());
}

TEST(TrayIcon, StockIconIsLookedUpOnlyWhenTheAreaShowsIt) {
    // The program's start-up: changes before the icon is added, then its own picture.
    {
        TrayRig rig;
        rig.tray->setIcon(QIcon());
        rig.tray->setTip(QStringLiteral("Tarv"));
        rig.tray->setIcon(solidIcon(Qt::red));
        rig.tray->ShowIcon();
        EXPECT_EQ(rig.host->stockLookups, 0);
        EXPECT_NE(rig.host->calls.last().data.icon.cacheKey(), rig.host->stock.cacheKey());
    }
    // Without a picture the shown icon, and every change to it, still carries the stock icon;
    // its removal needs none.
    TrayRig rig;
    rig.tray->setTip(QStringLiteral("Tarv"));
    EXPECT_EQ(rig.host->stockLookups, 0);
    rig.tray->ShowIcon();
    rig.tray->setTip(QStringLiteral("Tarv 2"));
    EXPECT_EQ(rig.host->stockLookups, 2);
    EXPECT_EQ(rig.host->calls.last().data.icon.cacheKey(), rig.host->stock.cacheKey());
    rig.tray->NotifyShell(NotifyOp::Delete);
    EXPECT_EQ(rig.host->stockLookups, 2);
}

TEST(TrayIcon, IdentifiersCountTheFormsIconsAndAFormlessOneHearsNothing) {
    QWidget form;
    auto *first = new TTrayIcon(&form, std::make_unique<FakeTrayHost>());
    auto *second = new TTrayIcon(&form, std::make_unique<FakeTrayHost>());
    EXPECT_EQ(first->iconId(), 1u);
    EXPECT_EQ(second->iconId(), 2u);
    EXPECT_EQ(second->callbackMessage(), 1026u);

    QObject notAForm;
    auto host = std::make_unique<FakeTrayHost>();
    FakeTrayHost *raw = host.get();
    auto *loose = new TTrayIcon(&notAForm, std::move(host));
    bool fired = false;
    loose->OnDblClick = [&](QObject *) { fired = true; };
    EXPECT_EQ(loose->iconId(), 0u);
    EXPECT_EQ(loose->ownerWindow(), nullptr);
    raw->mouse(LeftDblClk, 0);
    EXPECT_FALSE(fired);
}

TEST(TrayIcon, TheIconLeavesTheAreaWithTheComponent) {
    QWidget form;
    auto host = std::make_unique<FakeTrayHost>();
    auto log = std::make_shared<QList<NotifyOp>>();
    host->log = log;
    {
        TTrayIcon tray(&form, std::move(host));
        tray.ShowIcon();
    }
    EXPECT_EQ(*log, (QList<NotifyOp>{NotifyOp::Add, NotifyOp::Delete}));
}

TEST(TrayIcon, DesktopActivationsActAsTheMouseMessagesTheyStandFor) {
    using R = QSystemTrayIcon;
    struct Row {
        QList<int> activations;
        bool statusNotifier;
        const char *events;
        int popups;
    };
    const Row rows[] = {
        // An XEmbed tray: a click is only a press; a double click is Trigger then DoubleClick.
        {{R::Trigger}, false, "down,up", 0},
        {{R::Trigger, R::DoubleClick}, false, "down,up,dbl,up", 0},
        // A status-notifier host never reports a double click: its activation stands for one.
        {{R::Trigger}, true, "down,up,dbl,up", 0},
        // The context request is a right press, which opens the menu; middle is a middle press.
        {{R::Context}, false, "up", 1},
        {{R::Context}, true, "up", 1},
        {{R::MiddleClick}, true, "down,up", 0},
        {{R::Unknown}, false, "", 0},
    };
    for (const Row &row : rows) {
        TrayRig rig;
        QMenu menu;
        rig.tray->setPopupMenu(&menu);
        for (int a : row.activations)
            for (unsigned m : trayMouseMessages(a, row.statusNotifier))
                rig.host->mouse(m);
        EXPECT_EQ(rig.fired.join(','), QString::fromLatin1(row.events)) << row.activations.first();
        EXPECT_EQ(rig.host->popups.size(), row.popups) << row.activations.first();
    }
}

TEST(TrayIcon, AStatusNotifierDoubleClickTogglesOnceAndASingleClickAtOnce) {
    using R = QSystemTrayIcon;
    TrayRig sni;
    TrayActivations fromSni(true, 400);
    auto activate = [&](TrayRig &rig, TrayActivations &a, int reason, qint64 at) {
        for (unsigned m : a.messages(reason, at))
            rig.host->mouse(m);
        return static_cast<int>(rig.fired.count("dbl"));
    };
    EXPECT_EQ(activate(sni, fromSni, R::Trigger, 0), 1);     // a single click acts at once
    EXPECT_EQ(activate(sni, fromSni, R::Trigger, 150), 1);   // its second click is swallowed
    EXPECT_EQ(activate(sni, fromSni, R::Trigger, 1000), 2);  // a later click acts again
    EXPECT_EQ(activate(sni, fromSni, R::Trigger, 1399), 2);
    EXPECT_EQ(activate(sni, fromSni, R::Trigger, 1500), 3);  // the pair is over: a new click
    EXPECT_EQ(activate(sni, fromSni, R::Context, 1550), 3);  // other requests pass untouched
    EXPECT_EQ(sni.host->popups.size(), 0);

    // On an XEmbed tray the double click is Qt's own; nothing is swallowed.
    TrayRig xembed;
    TrayActivations fromXEmbed(false, 400);
    EXPECT_EQ(activate(xembed, fromXEmbed, R::Trigger, 0), 0);
    EXPECT_EQ(activate(xembed, fromXEmbed, R::DoubleClick, 150), 1);
    EXPECT_EQ(activate(xembed, fromXEmbed, R::Trigger, 300), 1);
    EXPECT_EQ(activate(xembed, fromXEmbed, R::DoubleClick, 450), 2);
}

TEST(TrayIcon, TheMenuIsHandedToTheNotificationArea) {
    TrayRig rig;
    QMenu menu;
    rig.tray->setPopupMenu(&menu);
    EXPECT_EQ(rig.host->menu, &menu);
}
