// The connections window in the program: opened from the tray menu on the month of now and from
// a double click on a chart's bar on that day, while a single press still drags the chart; the
// rows on view saved whole or not at all.
#include "app/startup.h"
#include "calls/callreport.h"
#include "calls/callswindow.h"
#include "framework/application.h"
#include "framework/ondemand.h"
#include "platform/fakes/fakes.h"
#include "shell/tform1.h"
#include "stats/chartview.h"
#include "stats/tfrmgraph.h"
#include "support/parts.h"
#include "support/tempdir.h"

#include <QChart>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace tarv;
using namespace tarv::calls;
using tarv::test::part;

namespace {

CallRow call(const QDate &day, int hour, int units) {
    CallRow r;
    r.start = QDateTime(day, QTime(hour, 0), Qt::OffsetFromUTC, 7200);
    r.end = r.start.addSecs(units * 270);
    r.units = r.unitsA = units;
    r.cost = units * 9;
    r.currency = QStringLiteral("Δρχ");
    r.name = QStringLiteral("Provider");
    r.deviceType = QStringLiteral("modem");
    r.received = 300'000ull * units;
    r.sent = 20'000ull * units;
    return r;
}

// The program's windows over a folder with a log of March 2001 and the clock in that month; the
// chart window is linked in rather than loaded.
struct ProgramRig {
    ProgramRig() {
        QByteArray log = csvHeader() + '\n';
        for (const CallRow &r : {call(QDate(2001, 3, 2), 10, 3), call(QDate(2001, 3, 15), 9, 2),
                                 call(QDate(2001, 3, 15), 21, 5), call(QDate(2001, 2, 28), 8, 1)})
            log += csvLine(r) + '\n';
        log += "2001-03-16T10:00:00+02:00,cut short\n";
        test::writeFile(dir.filePath(QStringLiteral("calls.csv")), log);
        clock = std::make_shared<FakeClock>(QDateTime(QDate(2001, 3, 20), QTime(12, 0)));
        setErrorSink([this](const QString &m) { errors << m; });
        w = createWindows(fakePlatform(dir.path(), clock));
        w.Form1->setChartFactory([](const Meter *meter, QWidget *main) -> std::unique_ptr<ChartWindow> {
            auto graph = std::make_unique<TfrmGraph>(meter, main);
            graph->screenSize = [] { return QSize(1024, 768); };
            return graph;
        });
    }
    ~ProgramRig() { setErrorSink({}); }
    CallsWindow *calls() const { return w.calls->get(); }
    // Waits for the window's read to be on view.
    bool shown() const {
        return QTest::qWaitFor([this] { return calls() && !calls()->isLoading(); }, 5000);
    }
    QList<QDate> days() const {
        QList<QDate> days;
        auto *table = part<QTableView>(calls(), "callsTable");
        for (int i = 0; i < table->model()->rowCount(); ++i)
            days << QDateTime::fromMSecsSinceEpoch(table->model()->index(i, 0).data(Qt::UserRole).toLongLong())
                        .toOffsetFromUtc(7200)
                        .date();
        return days;
    }

    QTemporaryDir dir;
    std::shared_ptr<FakeClock> clock;
    QStringList errors;
    Windows w;
};

} // namespace

TEST(CallsWindow, TheTrayItemOpensTheMonthOfNowNewestFirstWithItsTotals) {
    ProgramRig rig;
    auto *menu = part<QMenu>(rig.w.Form1, "trayMenu");
    QAction *item = part<QAction>(rig.w.Form1, "callsItem");
    ASSERT_EQ(menu->actions().indexOf(item), 2);
    menu->popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    ASSERT_NE(rig.calls(), nullptr);
    // The log is read off the GUI thread: the window is up before its rows are.
    EXPECT_TRUE(rig.calls()->isVisible());
    EXPECT_TRUE(rig.calls()->isLoading());
    ASSERT_TRUE(rig.shown());
    EXPECT_EQ(rig.days(), (QList<QDate>{QDate(2001, 3, 15), QDate(2001, 3, 15), QDate(2001, 3, 2)}));
    EXPECT_EQ(rig.calls()->totalsText(),
              QStringLiteral("3 συνδέσεις · Χρόνος 0:45:00 · 10 μονάδες · 90 Δρχ · Λήψη 2,9 MB · Αποστολή 195,3 kB"))
        << qPrintable(rig.calls()->totalsText());
    EXPECT_TRUE(rig.calls()->noteText().contains(QStringLiteral("Παραλείφθηκε 1 γραμμή"))) << qPrintable(rig.calls()->noteText());
    EXPECT_TRUE(rig.errors.isEmpty());

    const QString folder = QStringLiteral(TARV_SCREENSHOT_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    QCoreApplication::processEvents();
    EXPECT_TRUE(rig.calls()->grab().save(folder + QStringLiteral("/calls_window.png")));
}

TEST(CallsWindow, ADoubleClickOnADaysBarListsThatDayAndAPressStillDragsTheChart) {
    ProgramRig rig;
    rig.w.Form1->showMonthChart(2001, 3);
    auto *graph = dynamic_cast<TfrmGraph *>(rig.w.Form1->chartWindow());
    ASSERT_NE(graph, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(graph));
    QWidget *viewport = graph->Chart1->viewport();
    const QRectF plot = graph->chart()->plotArea();
    const QPoint day15 = graph->Chart1->mapFromScene(
        QPointF(plot.left() + 14.5 * plot.width() / 31, plot.bottom() - 4));

    // A press and a move drag the window and ask for no list.
    const QPoint before = graph->pos();
    QTest::mousePress(viewport, Qt::LeftButton, {}, day15);
    QTest::mouseMove(viewport, day15 + QPoint(30, 20));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, day15 + QPoint(30, 20));
    EXPECT_EQ(graph->pos(), before + QPoint(30, 20));
    EXPECT_EQ(rig.calls(), nullptr);

    // The button's last release follows the double click, as the window system sends it.
    const QPoint dragged = graph->pos();
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, day15);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, day15);
    EXPECT_FALSE(graph->dragging);
    EXPECT_EQ(graph->pos(), dragged);
    ASSERT_TRUE(rig.shown());
    EXPECT_TRUE(rig.calls()->isVisible());
    EXPECT_EQ(rig.calls()->day(), QDate(2001, 3, 15));
    EXPECT_EQ(rig.days(), (QList<QDate>{QDate(2001, 3, 15), QDate(2001, 3, 15)}));
    EXPECT_TRUE(rig.calls()->totalsText().startsWith(QStringLiteral("2 συνδέσεις · Χρόνος 0:31:30 · 7 μονάδες · 63 Δρχ")));

    // Saved: the day's rows as shown, in the report's csv form.
    const QString saved = rig.dir.filePath(QStringLiteral("day.csv"));
    rig.calls()->askSaveFileName = [&] { return saved; };
    QTest::mouseClick(part<QPushButton>(rig.calls(), "saveButton"), Qt::LeftButton);
    EXPECT_EQ(test::readFile(saved), csvOfRows({call(QDate(2001, 3, 15), 21, 5), call(QDate(2001, 3, 15), 9, 2)}));

    auto *wholeMonth = part<QPushButton>(rig.calls(), "wholeMonthButton");
    ASSERT_TRUE(wholeMonth->isVisible());
    QTest::mouseClick(wholeMonth, Qt::LeftButton);
    EXPECT_FALSE(rig.calls()->day().isValid());
    EXPECT_FALSE(wholeMonth->isVisible());
    EXPECT_EQ(rig.days().size(), 3);
    EXPECT_TRUE(rig.calls()->totalsText().startsWith(QStringLiteral("3 συνδέσεις")));
    EXPECT_TRUE(rig.errors.isEmpty());
}

TEST(CallsWindow, AFailedSaveSaysWhyAndLeavesNothingAndAMissingLogIsAnEmptyMonth) {
    QTemporaryDir dir;
    CallsWindow window(dir.path(), [] { return QStringLiteral("Euro"); }, nullptr);
    window.showMonth(2001, 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isLoading(); }, 5000));
    EXPECT_TRUE(window.noteText().isEmpty());
    EXPECT_TRUE(window.totalsText().startsWith(QStringLiteral("0 συνδέσεις · Χρόνος 0:00:00 · 0 μονάδες · 0 Euro")));

    const QString target = dir.filePath(QStringLiteral("missing/calls.csv"));
    EXPECT_FALSE(window.saveShown(target));
    EXPECT_TRUE(window.noteText().startsWith(QStringLiteral("Δεν αποθηκεύτηκε το ") + target)) << qPrintable(window.noteText());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}
