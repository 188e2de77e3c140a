#include "framework/application.h"
#include "framework/clickarea.h"
#include "options/tfrmoptions.h"
#include "platform/fakes/fakes.h"
#include "shell/tform1.h"
#include "shell/trayicon.h"
#include "shellrig.h"
#include "stats/tfrmgraph.h"

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
using tarv::test::ShellRig;

namespace {

const QString kShow = QStringLiteral("Εμφάνιση");
const QString kHide = QStringLiteral("Απόκρυψη");

} // namespace

TEST(MainWindow, TheCaptionDecidesTheToggle) {
    ShellRig rig;
    EXPECT_FALSE(rig.form->isVisible());
    EXPECT_EQ(rig.form->show->text(), kShow);

    // A double click on the icon, as the notification area reports it, shows the window.
    for (unsigned m : {LeftDown, LeftUp, LeftDblClk, LeftUp})
        rig.host->mouse(m);
    EXPECT_TRUE(rig.form->isVisible());
    EXPECT_EQ(rig.form->show->text(), kHide);
    // The menu's first item toggles the same way.
    rig.form->show->trigger();
    EXPECT_FALSE(rig.form->isVisible());
    EXPECT_EQ(rig.form->show->text(), kShow);

    // The caption, not the visibility, decides: shown by another path with the caption still
    // "Εμφάνιση", a toggle keeps it shown and only brings the caption in step.
    rig.form->setVisible(true);
    rig.form->toggleMainWindow();
    EXPECT_TRUE(rig.form->isVisible());
    EXPECT_EQ(rig.form->show->text(), kHide);

    // Opening the tray menu sets the caption from the window's actual state.
    rig.form->setVisible(false);
    emit rig.form->PopupMenu1->aboutToShow();
    EXPECT_EQ(rig.form->show->text(), kShow);
    rig.form->setVisible(true);
    emit rig.form->PopupMenu1->aboutToShow();
    EXPECT_EQ(rig.form->show->text(), kHide);
    EXPECT_TRUE(rig.errors.isEmpty());
}

TEST(MainWindow, HidingTakesTheOtherWindowsAlong) {
    struct Path {
        const char *name;
        std::function<void(TForm1 &)> hide;
    };
    const Path paths[] = {
        {"hide button", [](TForm1 &f) { QTest::mouseClick(f.buttonMin, Qt::LeftButton); }},
        {"tray menu", [](TForm1 &f) { f.showClick(); }},
        {"tray double click", [](TForm1 &f) { f.TrayIcon1DblClick(); }},
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
        EXPECT_EQ(rig.form->show->text(), kShow) << path.name;
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
    QTest::mouseClick(rig.form->buttonOptions, Qt::LeftButton);
    EXPECT_TRUE(rig.options->isVisible());
    EXPECT_TRUE(rig.form->isVisible());
}

TEST(MainWindow, DraggingFollowsTheCursorWithAnyButton) {
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        ShellRig rig;
        rig.form->toggleMainWindow();
        rig.form->move(100, 100);
        const QPoint bare(150, 290); // the bottom bar, between the buttons
        ASSERT_EQ(rig.form->childAt(bare), rig.form->Image1);
        rig.cursor = QPoint(400, 400);
        QTest::mousePress(rig.form->Image1, button, {}, rig.form->Image1->mapFrom(rig.form.get(), bare));
        EXPECT_TRUE(rig.form->dragging);
        // The platform's cursor decides, not the event's position.
        rig.cursor = QPoint(430, 380);
        QTest::mouseMove(rig.form->Image1, QPoint(1, 1));
        EXPECT_EQ(rig.form->pos(), QPoint(130, 80));
        QTest::mouseRelease(rig.form->Image1, button, {}, QPoint(1, 1));
        EXPECT_FALSE(rig.form->dragging);
        rig.cursor = QPoint(0, 0);
        QTest::mouseMove(rig.form->Image1, QPoint(2, 2));
        EXPECT_EQ(rig.form->pos(), QPoint(130, 80));
    }
}

TEST(MainWindow, TheGroupedChartWindowFollowsADrag) {
    ShellRig rig;
    rig.form->toggleMainWindow();
    rig.form->move(100, 100);
    rig.graph->move(600, 50);
    rig.cursor = QPoint(10, 10);
    rig.form->Image1MouseDown();
    rig.cursor = QPoint(30, 40);
    rig.form->Image1MouseMove();
    EXPECT_EQ(rig.graph->pos(), QPoint(600, 50)); // not grouped
    rig.graph->windowsGrouped = true;
    rig.cursor = QPoint(50, 60);
    rig.form->Image1MouseMove();
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
    rig.form->Image1MouseDown();
    rig.cursor = QPoint(30, 40);
    rig.form->Image1MouseMove();
    EXPECT_EQ(handedOver, 1);
    EXPECT_FALSE(rig.form->dragging);
    EXPECT_EQ(rig.form->pos(), QPoint(100, 100));
}

TEST(MainWindow, ControlsOverThePictureTakeThePress) {
    ShellRig rig;
    rig.form->toggleMainWindow();
    QWidget *const covered[] = {rig.form->labelStatus,   rig.form->boxTime,       rig.form->buttonExit,
                                rig.form->buttonOptions, rig.form->buttonStats,   rig.form->buttonpelmo,
                                rig.form->buttonMin,     rig.form->labelCostToday};
    for (QWidget *w : covered) {
        const QPoint centre = w->geometry().center();
        QWidget *hit = rig.form->childAt(centre);
        EXPECT_NE(hit, rig.form->Image1)
            << w->metaObject()->className() << " at " << centre.x() << "," << centre.y();
        QTest::mousePress(hit, Qt::LeftButton, {}, hit->mapFrom(rig.form.get(), centre));
        EXPECT_FALSE(rig.form->dragging);
        // Released away from the control, so that no click (an exit question) follows.
        QTest::mouseRelease(hit, Qt::LeftButton, {}, QPoint(-50, -50));
    }
}

TEST(MainWindow, VendorLabelOpensTheMenuOrTheMakersSite) {
    ShellRig rig;
    rig.form->toggleMainWindow();
    EXPECT_EQ(rig.form->buttonpelmo->toolTip(), QStringLiteral("http://www.pelmo.example/"));

    // Empty menu: a movement does nothing, a click opens the maker's site.
    QTest::mouseMove(rig.form->buttonpelmo, QPoint(5, 5));
    rig.form->buttonpelmoMouseMove();
    EXPECT_TRUE(rig.popups.isEmpty());
    QTest::mouseClick(rig.form->buttonpelmo, Qt::LeftButton);
    EXPECT_EQ(rig.shell->opened, QStringList{QStringLiteral("http://www.pelmo.example/")});

    // Three items: a movement opens the menu 48 pixels above the label's top; a click does nothing.
    for (int i = 0; i < 3; ++i)
        rig.form->PopupMenu2->addAction(QStringLiteral("item %1").arg(i));
    rig.form->buttonpelmoMouseMove();
    ASSERT_EQ(rig.popups.size(), 1);
    EXPECT_EQ(rig.popups.first().first, rig.form->PopupMenu2);
    EXPECT_EQ(rig.popups.first().second, rig.form->mapToGlobal(QPoint(14, 256 - 48)));
    rig.form->buttonpelmoClick();
    EXPECT_EQ(rig.shell->opened.size(), 1);
}

TEST(MainWindow, TheOutlineIsAppliedAtTheFirstActivationOnly) {
    ShellRig rig;
    EXPECT_TRUE(rig.form->firstActivation);
    EXPECT_TRUE(rig.form->mask().isEmpty());
    rig.form->FormActivate();
    EXPECT_FALSE(rig.form->firstActivation);
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
    EXPECT_EQ(add.data.icon.cacheKey(), rig.form->ImageList1.value(0).cacheKey());
    EXPECT_EQ(rig.form->TrayIcon1->PopupMenu(), rig.form->PopupMenu1);
    // The pictures are built in.
    EXPECT_FALSE(rig.form->ImageList1.value(0).pixmap(16, 16).isNull());
    EXPECT_FALSE(rig.form->ImageList1.value(1).pixmap(16, 16).isNull());
    EXPECT_EQ(rig.form->Image1->picture().size(), QSize(297, 311));
    EXPECT_EQ(rig.form->Image2->pixmap().size(), QSize(15, 250));
    EXPECT_FALSE(rig.form->Image2->isVisible());
    // The right press pops the tray menu up at the cursor.
    rig.host->cursor = QPoint(790, 10);
    rig.host->mouse(RightDown);
    ASSERT_EQ(rig.host->popups.size(), 1);
    EXPECT_EQ(rig.host->popups.first().first, rig.form->PopupMenu1);
    EXPECT_EQ(rig.host->popups.first().second, QPoint(790, 10));
}

TEST(MainWindow, ExitButtonAndTrayItemRequestTheExit) {
    ShellRig rig;
    rig.form->toggleMainWindow();
    QSignalSpy requests(rig.form.get(), &TForm1::exitRequested);
    QTest::mouseClick(rig.form->buttonExit, Qt::LeftButton);
    EXPECT_EQ(requests.size(), 1);
    rig.form->mnexit->trigger();
    EXPECT_EQ(requests.size(), 2);
    // The request alone ends nothing.
    EXPECT_TRUE(rig.form->isVisible());
    EXPECT_TRUE(rig.form->Timer1->isActive());
}
