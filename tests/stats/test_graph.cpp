#include "framework/errors.h"
#include "stats/chartview.h"
#include "stats/clicklabel.h"
#include "statsrig.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QFileDialog>
#include <QGraphicsSimpleTextItem>
#include <QImageReader>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTest>
#include <QValueAxis>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::ledgerOf;
using tarv::test::readFile;
using tarv::test::StatsRig;

namespace {

QList<double> barValues(const TfrmGraph &g) {
    QList<double> values;
    if (QBarSeries *s = g.series())
        for (int i = 0; i < s->barSets().first()->count(); ++i)
            values << s->barSets().first()->at(i);
    return values;
}

void showChartOf(StatsRig &rig, int year, int month) {
    rig.graph->chartYear = year;
    rig.graph->chartMonth = month;
    rig.graph->showChart();
    QCoreApplication::processEvents();
}

} // namespace

TEST(ChartWindow, FebruaryHas31BarsTheLaterRecordOfADayWinning) {
    StatsRig rig(ledgerOf({"040201|0001,000", "040228|0002,500", "040201|0003,000", "040301|0100,000"}));
    // Most runs never open the chart window: its chart is made when it is first shown.
    EXPECT_EQ(rig.graph->Chart1, nullptr);
    EXPECT_EQ(rig.graph->SavePictureDialog1, nullptr);
    showChartOf(rig, 2004, 2);
    const TfrmGraph &g = *rig.graph;
    EXPECT_EQ(g.chart()->title(), QStringLiteral("Φεβρουάριος 2004"));
    EXPECT_EQ(g.axisY()->titleText(), QStringLiteral("Δρχ"));
    EXPECT_EQ(g.axisX()->categories().size(), 31);
    QList<double> expected(31, 0.0);
    expected[0] = 3;
    expected[27] = 2.5;
    EXPECT_EQ(barValues(g), expected);
    EXPECT_FALSE(g.series()->isLabelsVisible());
}

TEST(ChartWindow, AMonthWithoutRecordsShows31ZeroBarsAndAnUnreadableLedgerNoSeries) {
    StatsRig rig(ledgerOf({"040201|0001,000"}));
    showChartOf(rig, 2004, 2);
    EXPECT_EQ(barValues(*rig.graph).value(0), 1);
    showChartOf(rig, 2005, 11);
    EXPECT_EQ(rig.graph->chart()->title(), QStringLiteral("Νοέμβριος 2005"));
    EXPECT_EQ(barValues(*rig.graph), QList<double>(31, 0.0));
    QFile::remove(rig.ledgerPath());
    EXPECT_THROW(rig.graph->FormActivate(), EInOutError);
    EXPECT_TRUE(rig.graph->chart()->series().isEmpty());
}

TEST(ChartWindow, AllDayLabelsAreDrawnWholeSideBySide) {
    StatsRig rig(ledgerOf({"040215|0020,000"}));
    showChartOf(rig, 2004, 2);
    const QRectF scene = rig.graph->Chart1->sceneRect();
    const QList<QGraphicsSimpleTextItem *> labels = rig.graph->dayLabels();
    ASSERT_EQ(labels.size(), 31);
    QRectF previous;
    for (int d = 1; d <= 31; ++d) {
        const QGraphicsSimpleTextItem *label = labels.at(d - 1);
        EXPECT_EQ(label->text(), QString::number(d));
        EXPECT_TRUE(label->isVisible());
        const QRectF box = label->sceneBoundingRect();
        EXPECT_TRUE(scene.contains(box)) << "day " << d;
        if (d > 1) {
            EXPECT_LT(previous.right(), box.left()) << "day " << d << " touches the day before";
        }
        previous = box;
    }
}

TEST(ChartWindow, GroupingPlacesThePairSideBySideAndDragsThemTogether) {
    EXPECT_EQ(TfrmGraph::groupedLefts(1024, 284, 529), std::make_pair(110, 384));
    EXPECT_EQ(TfrmGraph::groupedLefts(1026, 284, 529), std::make_pair(112, 386)); // 111.5 and 385.5
    StatsRig rig(ledgerOf({}));
    TForm1 &main = *rig.form;
    TfrmGraph &g = *rig.graph;
    main.move(300, 200);
    g.move(10, 20);
    g.buttonTileClick();
    EXPECT_EQ(g.buttonTile->text(), QStringLiteral("ungroup"));
    EXPECT_TRUE(g.windowsGrouped);
    EXPECT_EQ(main.pos(), QPoint(110, 200));
    EXPECT_EQ(g.pos(), QPoint(384, 200));

    g.Chart1MouseDown({500, 300});
    g.Chart1MouseMove({520, 330});
    EXPECT_EQ(g.pos(), QPoint(404, 230));
    EXPECT_EQ(main.pos(), QPoint(404 - 284 + 10, 230));
    g.Chart1MouseUp({520, 330});
    g.Chart1MouseMove({600, 400});
    EXPECT_EQ(g.pos(), QPoint(404, 230));

    g.buttonTileClick();
    EXPECT_EQ(g.buttonTile->text(), QStringLiteral("group"));
    EXPECT_FALSE(g.windowsGrouped);
    EXPECT_EQ(main.pos(), QPoint(370, 230));
    EXPECT_EQ(g.pos(), QPoint(248, 210)); // 247.5 and 210.5 go to the even neighbours
}

TEST(ChartWindow, CloseUngroupsCentresTheMainWindowAndHides) {
    StatsRig rig(ledgerOf({}));
    TfrmGraph &g = *rig.graph;
    showChartOf(rig, 2004, 2);
    g.buttonTileClick();
    g.move(50, 60);
    g.buttonCloseClick();
    EXPECT_FALSE(g.isVisible() || g.windowsGrouped);
    EXPECT_EQ(g.buttonTile->text(), QStringLiteral("group"));
    EXPECT_EQ(rig.form->pos(), QPoint(370, 230));
    g.showChart();
    EXPECT_EQ(g.pos(), QPoint(50, 60)); // the window keeps its own place
}

struct SaveCase {
    const char *name;
    bool exists;                        // the first chosen name is an existing file
    QMessageBox::StandardButton answer; // the answer to the overwrite question
    bool written;                       // the first chosen file holds the chart afterwards
    int dialogs;                        // how often the file dialog opened
};

void PrintTo(const SaveCase &c, std::ostream *os) {
    *os << c.name;
}

class SaveLoop : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveLoop, FollowsTheAnswers) {
    const SaveCase c = GetParam();
    StatsRig rig(ledgerOf({"040215|0020,000"}));
    showChartOf(rig, 2004, 2);
    const QString first = rig.dir.filePath(QStringLiteral("chart.bmp"));
    if (c.exists) tarv::test::writeFile(first, "old");
    int dialogs = 0, questions = 0, reports = 0;
    rig.graph->askSaveFileName = [&] { return dialogs++ == 0 ? first : QString(); };
    rig.graph->askOverwrite = [&] {
        ++questions;
        return c.answer;
    };
    rig.graph->reportSaved = [&] { ++reports; };
    rig.graph->buttonSaveBitmapClick();
    EXPECT_EQ(dialogs, c.dialogs);
    EXPECT_EQ(questions, c.exists ? 1 : 0);
    EXPECT_EQ(reports, c.written ? 1 : 0);
    const QByteArray bytes = readFile(first);
    if (c.written) {
        EXPECT_TRUE(bytes.startsWith("BM"));
        QImageReader reader(first);
        EXPECT_EQ(reader.format(), QByteArray("bmp"));
        EXPECT_EQ(reader.read().size(), QSize(529, 316));
    } else {
        EXPECT_EQ(bytes, c.exists ? QByteArray("old") : QByteArray());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SaveLoop,
    ::testing::Values(SaveCase{"NewNameSavesReportsAndEnds", false, QMessageBox::NoButton, true, 1},
                      SaveCase{"ExistingNameYesOverwritesAndEnds", true, QMessageBox::Yes, true, 1},
                      SaveCase{"ExistingNameNoWritesNothingAndAsksAgain", true, QMessageBox::No, false, 2},
                      SaveCase{"ExistingNameCancelEnds", true, QMessageBox::Cancel, false, 1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ChartWindow, PrintsOnePageAndRestoresTheTitleColours) {
    StatsRig rig(ledgerOf({"040215|0020,000"}));
    showChartOf(rig, 2004, 2);
    TfrmGraph &g = *rig.graph;
    const QString pdf = rig.dir.filePath(QStringLiteral("chart.pdf"));
    g.printerSource = [&] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        return printer;
    };
    QColor titleWhilePrinting;
    g.buttonPrintClick();
    const QByteArray bytes = readFile(pdf);
    ASSERT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 1)
        << "pages in the file";
    auto expectWindowColours = [&] {
        EXPECT_EQ(g.chart()->titleBrush().color(), QColor(Qt::white));
        EXPECT_EQ(g.axisY()->titleBrush().color(), QColor(Qt::yellow));
        EXPECT_EQ(g.axisX()->titleBrush().color(), QColor(Qt::yellow));
        EXPECT_EQ(g.dayLabelsColor(), QColor(Qt::white));
    };
    expectWindowColours();

    // While the user chooses a printer the window keeps its colours; a printer that fails
    // leaves them too, and the error reaches the handler.
    g.printerSource = [&]() -> std::unique_ptr<QPrinter> {
        titleWhilePrinting = g.chart()->titleBrush().color();
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(rig.dir.filePath(QStringLiteral("missing/chart.pdf")));
        return printer;
    };
    try {
        g.buttonPrintClick();
        ADD_FAILURE() << "a printer that cannot start reported nothing";
    } catch (const EPrinterError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Η εκτύπωση δεν ξεκίνησε στο «"))) << e.message().toStdString();
    }
    EXPECT_EQ(titleWhilePrinting, QColor(Qt::white));
    expectWindowColours();
}

TEST(ChartWindow, ClickingBackFromTheMainWindowRebuildsFromTheCurrentLedger) {
    StatsRig rig(ledgerOf({"040201|0001,000"}));
    TfrmGraph &g = *rig.graph;
    rig.form->QWidget::show();
    showChartOf(rig, 2004, 2);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&g));
    QCoreApplication::processEvents();
    EXPECT_EQ(barValues(g).at(1), 0);
    rig.writeLedger(ledgerOf({"040201|0001,000", "040202|0009,000"}));
    rig.form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.form.get()));
    QCoreApplication::processEvents();
    EXPECT_EQ(barValues(g).at(1), 0);
    g.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&g));
    QCoreApplication::processEvents();
    EXPECT_EQ(barValues(g).at(1), 9);
}

TEST(ChartWindow, FocusBackFromTheProgramsBoxesAndDialogsDoesNotRebuild) {
#ifdef _WIN32
    // Under Wine the focus changes around a hidden box come in another order and the chart
    // rebuilds; not yet looked into on a real Windows desktop.
    GTEST_SKIP() << "focus order under Wine differs";
#endif
    StatsRig rig(ledgerOf({"040201|0001,000"}));
    TfrmGraph &g = *rig.graph;
    rig.form->QWidget::show();
    showChartOf(rig, 2004, 2);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&g));
    QCoreApplication::processEvents();
    rig.writeLedger(ledgerOf({"040201|0001,000", "040202|0009,000"}));
    // An error box (owned by no window, as the program shows it) and the save dialog.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("x"), QStringLiteral("y"));
    QFileDialog save(&g);
    save.setOption(QFileDialog::DontUseNativeDialog);
    for (QWidget *passing : {static_cast<QWidget *>(&box), static_cast<QWidget *>(&save)}) {
        passing->show();
        passing->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(passing));
        passing->hide();
        g.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&g));
        QCoreApplication::processEvents();
        EXPECT_EQ(barValues(g).at(1), 0);
    }
}
