#include "framework/application.h"
#include "framework/clickarea.h"
#include "options/tfrmoptions.h"
#include "platform/fakes/fakes.h"
#include "shell/tform1.h"
#include "shell/trayicon.h"
#include "shellrig.h"
#include "stats/tfrmgraph.h"
#include "support/parts.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::FakeTrayHost;
using tarv::test::part;
using tarv::test::ShellRig;

namespace {

const QString kShow = QStringLiteral("Εμφάνιση");
const QString kHide = QStringLiteral("Απόκρυψη");

} // namespace

TEST(MainWindow, TheCaptionDecidesTheToggle) {
    ShellRig rig;
    EXPECT_FALSE(rig.form->isVisible());
    EXPECT_EQ(part<QAction>(rig.form, "showItem")->text(), kShow);

    // A double click on the icon, as the notification area reports it, shows the window.
    for (unsigned m : {LeftDown, LeftUp, LeftDblClk, LeftUp})
        rig.host->mouse(m);
    EXPECT_TRUE(rig.form->isVisible());
    EXPECT_EQ(part<QAction>(rig.form, "showItem")->text(), kHide);
    // The menu's first item toggles the same way.
    part<QAction>(rig.form, "showItem")->trigger();
    EXPECT_FALSE(rig.form->isVisible());
    EXPECT_EQ(part<QAction>(rig.form, "showItem")->text(), kShow);

    // The caption, not the visibility, decides: shown by another path with the caption still
    // "Εμφάνιση", a toggle keeps it shown and only brings the caption in step.
    rig.form->setVisible(true);
    rig.form->toggleMainWindow();
    EXPECT_TRUE(rig.form->isVisible());
    EXPECT_EQ(part<QAction>(rig.form, "showItem")->text(), kHide);

    // Opening the tray menu sets the caption from the window's actual state.
    rig.form->setVisible(false);
    emit part<QMenu>(rig.form, "trayMenu")->aboutToShow();
    EXPECT_EQ(part<QAction>(rig.form, "showItem")->text(), kShow);
    rig.form->setVisible(true);
    emit part<QMenu>(rig.form, "trayMenu")->aboutToShow();
    EXPECT_EQ(part<QAction>(rig.form, "showItem")->text(), kHide);
    EXPECT_TRUE(rig.errors.isEmpty());
}

TEST(MainWindow, HidingTakesTheOtherWindowsAlong) {
    struct Path {
        const char *name;
        std::function<void(TForm1 &)> hide;
    };
    const Path paths[] = {
        {"hide button",
         [](TForm1 &f) { QTest::mouseClick(part<ClickArea>(f, "hideButton"), Qt::LeftButton); }},
        {"tray menu", [](TForm1 &f) { f.showItemClick(); }},
        {"tray double click", [](TForm1 &f) { f.trayIconDoubleClick(); }},
    };
    for (const Path &path : paths) {
        ShellRig rig;
        rig.form->toggleMainWindow();
        rig.options->show();
        rig.graph->show();
        path.hide(*rig.form);
        EXPECT_FALSE(rig.form->isVisible()) << path.name;
        EXPECT_FALSE(rig.options->isVisible()) << path.name;
        EXPECT_FALSE(rig.graph->isVisible()) << path.name;
        EXPECT_EQ(part<QAction>(rig.form, "showItem")->text(), kShow) << path.name;
        // Showing the window again leaves them hidden.
        rig.form->toggleMainWindow();
        EXPECT_TRUE(rig.form->isVisible()) << path.name;
        EXPECT_FALSE(rig.options->isVisible()) << path.name;
        EXPECT_FALSE(rig.graph->isVisible()) << path.name;
    }
}

TEST(MainWindow, OptionsButtonShowsTheDialogBesideTheWindow) {
    ShellRig rig;
    rig.form->toggleMainWindow();
    QTest::mouseClick(part<ClickArea>(rig.form, "optionsButton"), Qt::LeftButton);
    EXPECT_TRUE(rig.options->isVisible());
    EXPECT_TRUE(rig.form->isVisible());
}

TEST(MainWindow, DraggingFollowsTheCursorWithAnyButton) {
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        ShellRig rig;
        rig.form->toggleMainWindow();
        rig.form->move(100, 100);
        const QPoint bare(150, 290); // the bottom bar, between the buttons
        ASSERT_EQ(rig.form->childAt(bare), part<PictureBox>(rig.form, "frame"));
        rig.cursor = QPoint(400, 400);
        QTest::mousePress(part<PictureBox>(rig.form, "frame"), button, {},
                          part<PictureBox>(rig.form, "frame")->mapFrom(rig.form.get(), bare));
        EXPECT_TRUE(rig.form->isDragging());
        // The platform's cursor decides, not the event's position.
        rig.cursor = QPoint(430, 380);
        QTest::mouseMove(part<PictureBox>(rig.form, "frame"), QPoint(1, 1));
        EXPECT_EQ(rig.form->pos(), QPoint(130, 80));
        QTest::mouseRelease(part<PictureBox>(rig.form, "frame"), button, {}, QPoint(1, 1));
        EXPECT_FALSE(rig.form->isDragging());
        rig.cursor = QPoint(0, 0);
        QTest::mouseMove(part<PictureBox>(rig.form, "frame"), QPoint(2, 2));
        EXPECT_EQ(rig.form->pos(), QPoint(130, 80));
    }
}

TEST(MainWindow, TheGroupedChartWindowFollowsADrag) {
    ShellRig rig;
    rig.form->toggleMainWindow();
    rig.form->move(100, 100);
    rig.graph->move(600, 50);
    rig.cursor = QPoint(10, 10);
    rig.form->frameMouseDown();
    rig.cursor = QPoint(30, 40);
    rig.form->frameMouseMove();
    EXPECT_EQ(rig.graph->pos(), QPoint(600, 50)); // not grouped
    rig.graph->windowsGrouped = true;
    rig.cursor = QPoint(50, 60);
    rig.form->frameMouseMove();
    EXPECT_EQ(rig.form->pos(), QPoint(140, 150));
    EXPECT_EQ(rig.graph->pos(), QPoint(140 + 284 - 10, 150));
}

TEST(MainWindow, WhereTheCompositorPlacesWindowsItDragsThem) {
    ShellRig rig;
    rig.form->toggleMainWindow();
    rig.form->move(100, 100);
    int handedOver = 0;
    rig.form->startSystemMove = [&] { return ++handedOver > 0; };
    rig.cursor = QPoint(10, 10);
    rig.form->frameMouseDown();
    rig.cursor = QPoint(30, 40);
    rig.form->frameMouseMove();
    EXPECT_EQ(handedOver, 1);
    EXPECT_FALSE(rig.form->isDragging());
    EXPECT_EQ(rig.form->pos(), QPoint(100, 100));
}

TEST(MainWindow, ControlsOverThePictureTakeThePress) {
    ShellRig rig;
    rig.form->toggleMainWindow();
    QWidget *const covered[] = {
        part<QLabel>(rig.form, "statusLabel"),    part<QLabel>(rig.form, "clockLabel"),
        part<ClickArea>(rig.form, "exitButton"),  part<ClickArea>(rig.form, "optionsButton"),
        part<ClickArea>(rig.form, "statsButton"), part<ClickArea>(rig.form, "vendorLabel"),
        part<ClickArea>(rig.form, "hideButton"),  part<QLabel>(rig.form, "todayLabel")};
    for (QWidget *w : covered) {
        const QPoint centre = w->geometry().center();
        QWidget *hit = rig.form->childAt(centre);
        EXPECT_NE(hit, part<PictureBox>(rig.form, "frame"))
            << w->metaObject()->className() << " at " << centre.x() << "," << centre.y();
        QTest::mousePress(hit, Qt::LeftButton, {}, hit->mapFrom(rig.form.get(), centre));
        EXPECT_FALSE(rig.form->isDragging());
        // Released away from the control, so that no click (an exit question) follows.
        QTest::mouseRelease(hit, Qt::LeftButton, {}, QPoint(-50, -50));
    }
}

TEST(MainWindow, VendorLabelOpensTheMenuOrTheMakersSite) {
    ShellRig rig;
    rig.form->toggleMainWindow();
    EXPECT_EQ(part<ClickArea>(rig.form, "vendorLabel")->toolTip(),
              QStringLiteral("http://www.pelmo.example/"));

    // Empty menu: a movement does nothing, a click opens the maker's site.
    QTest::mouseMove(part<ClickArea>(rig.form, "vendorLabel"), QPoint(5, 5));
    rig.form->vendorLabelMouseMove();
    EXPECT_TRUE(rig.popups.isEmpty());
    QTest::mouseClick(part<ClickArea>(rig.form, "vendorLabel"), Qt::LeftButton);
    EXPECT_EQ(rig.shell->opened, QStringList{QStringLiteral("http://www.pelmo.example/")});

    // Three items: a movement opens the menu 48 pixels above the label's top; a click does nothing.
    for (int i = 0; i < 3; ++i)
        part<QMenu>(rig.form, "vendorMenu")->addAction(QStringLiteral("item %1").arg(i));
    rig.form->vendorLabelMouseMove();
    ASSERT_EQ(rig.popups.size(), 1);
    EXPECT_EQ(rig.popups.first().first, part<QMenu>(rig.form, "vendorMenu"));
    EXPECT_EQ(rig.popups.first().second, rig.form->mapToGlobal(QPoint(14, 256 - 48)));
    rig.form->vendorLabelClick();
    EXPECT_EQ(rig.shell->opened.size(), 1);
}

TEST(MainWindow, TheOutlineIsAppliedAtTheFirstActivationOnly) {
    ShellRig rig;
    EXPECT_TRUE(rig.form->awaitsFirstActivation());
    EXPECT_TRUE(rig.form->mask().isEmpty());
    rig.form->FormActivate();
    EXPECT_FALSE(rig.form->awaitsFirstActivation());
    EXPECT_EQ(rig.form->mask(), TForm1::outlineRegion(284));
    rig.form->clearMask();
    rig.form->FormActivate();
    EXPECT_TRUE(rig.form->mask().isEmpty());
}

TEST(MainWindow, TheTrayIconStartsIdleWithTheMenu) {
    ShellRig rig;
    ASSERT_FALSE(rig.host->calls.isEmpty());
    const auto &add = rig.host->calls.last();
    EXPECT_EQ(add.op, NotifyOp::Add);
    EXPECT_EQ(add.data.flags, 3u);
    EXPECT_EQ(add.data.icon.cacheKey(), rig.form->phoneIcon(0).cacheKey());
    EXPECT_EQ(part<TTrayIcon>(rig.form)->PopupMenu(), part<QMenu>(rig.form, "trayMenu"));
    // The pictures are built in.
    EXPECT_FALSE(rig.form->phoneIcon(0).pixmap(16, 16).isNull());
    EXPECT_FALSE(rig.form->phoneIcon(1).pixmap(16, 16).isNull());
    EXPECT_EQ(part<PictureBox>(rig.form, "frame")->picture().size(), QSize(297, 311));
    EXPECT_EQ(part<QLabel>(rig.form, "vendorStrip")->pixmap().size(), QSize(15, 250));
    EXPECT_FALSE(part<QLabel>(rig.form, "vendorStrip")->isVisible());
    // The right press pops the tray menu up at the cursor.
    rig.host->cursor = QPoint(790, 10);
    rig.host->mouse(RightDown);
    ASSERT_EQ(rig.host->popups.size(), 1);
    EXPECT_EQ(rig.host->popups.first().first, part<QMenu>(rig.form, "trayMenu"));
    EXPECT_EQ(rig.host->popups.first().second, QPoint(790, 10));
}

TEST(MainWindow, ExitButtonAndTrayItemRequestTheExit) {
    ShellRig rig;
    rig.form->toggleMainWindow();
    QSignalSpy requests(rig.form.get(), &TForm1::exitRequested);
    QTest::mouseClick(part<ClickArea>(rig.form, "exitButton"), Qt::LeftButton);
    EXPECT_EQ(requests.size(), 1);
    part<QAction>(rig.form, "exitItem")->trigger();
    EXPECT_EQ(requests.size(), 2);
    // The request alone ends nothing.
    EXPECT_TRUE(rig.form->isVisible());
    EXPECT_TRUE(part<QTimer>(rig.form, "tickTimer")->isActive());
}
