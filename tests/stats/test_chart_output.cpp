// The chart window's output as a user drives it: saving through the real dialogs, the kinds of
// file, copying, the print dialog and the tip over a bar.
#include "stats/chartview.h"
#include "statsrig.h"

#include <QApplication>
#include <QBarSeries>
#include <QChart>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::ledgerOf;
using tarv::test::readFile;
using tarv::test::StatsRig;

namespace {

void showChartOf(StatsRig &rig, int year, int month) {
    rig.graph->chartYear = year;
    rig.graph->chartMonth = month;
    rig.graph->showChart();
    QCoreApplication::processEvents();
}

// Runs answer on every modal window that comes up until the loop that opened them returns.
struct ModalDriver {
    explicit ModalDriver(std::function<void(QWidget *)> answer) : m_answer(std::move(answer)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_last && !m_last->isVisible()) m_last = nullptr; // a dialog may come back
            QWidget *modal = QApplication::activeModalWidget();
            if (modal && modal != m_last) {
                m_last = modal;
                m_answer(modal);
            } else if (!modal) {
                m_last = nullptr;
            }
        });
        m_timer.start(20);
    }
    std::function<void(QWidget *)> m_answer;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};

} // namespace

TEST(ChartOutput, SavingEndsAfterASaveAndAsksAgainAfterNoToReplacing) {
    StatsRig rig(ledgerOf({"040215|0020,000"}));
    showChartOf(rig, 2004, 2);
    const QString taken = rig.dir.filePath(QStringLiteral("taken.bmp"));
    const QString fresh = rig.dir.filePath(QStringLiteral("fresh.bmp"));
    tarv::test::writeFile(taken, "old");
    int dialogs = 0, questions = 0, reports = 0;
    ModalDriver driver([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            if (++dialogs > 2) return dialog->reject(); // a loop that never ends stops here
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            name->clear();
            dialog->setDirectory(rig.dir.path());
            QTest::keyClicks(name, QFileInfo(dialogs == 1 ? taken : fresh).fileName());
            QTest::keyClick(name, Qt::Key_Return);
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (box->button(QMessageBox::No)) {
                ++questions;
                QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
            } else {
                ++reports;
                QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
            }
        }
    });
    QTest::mouseClick(rig.graph->buttonSaveBitmap, Qt::LeftButton);
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(readFile(taken), QByteArray("old"));
    EXPECT_TRUE(readFile(fresh).startsWith("BM"));
    // The dialog starts in the pictures folder and offers the three kinds, a bitmap first.
    EXPECT_EQ(rig.graph->saveDialog()->nameFilters().size(), 3);
    EXPECT_TRUE(rig.graph->saveDialog()->nameFilters().first().contains(QStringLiteral("*.bmp")));
}

TEST(ChartOutput, TheNamesExtensionChoosesTheKindOfFile) {
    StatsRig rig(ledgerOf({"040215|0020,000"}));
    showChartOf(rig, 2004, 2);
    const struct {
        const char *name;
        QByteArray magic;
    } cases[] = {{"chart.bmp", "BM"}, {"chart.PNG", "\x89PNG"}, {"chart.pdf", "%PDF"}, {"chart.txt", "BM"}};
    for (const auto &c : cases) {
        const QString file = rig.dir.filePath(QLatin1String(c.name));
        rig.graph->saveChartFile(file);
        EXPECT_TRUE(readFile(file).startsWith(c.magic)) << c.name;
    }
    EXPECT_THROW(rig.graph->saveChartFile(rig.dir.filePath(QStringLiteral("missing/chart.png"))), EInOutError);
}

TEST(ChartOutput, CopyPutsTheChartOnTheClipboardAndSaysSo) {
    StatsRig rig(ledgerOf({"040215|0020,000"}));
    showChartOf(rig, 2004, 2);
    EXPECT_FALSE(rig.graph->copyNote->isVisible());
    QTest::mouseClick(rig.graph->buttonClip, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(529, 316));
    EXPECT_TRUE(rig.graph->copyNote->isVisible());
    EXPECT_EQ(rig.graph->copyNote->text(), QStringLiteral("Αντιγράφηκε"));
}

TEST(ChartOutput, PrintOpensTheDialogAndCancellingPrintsNothing) {
    StatsRig rig(ledgerOf({"040215|0020,000"}));
    showChartOf(rig, 2004, 2);
    const bool noPrinter = QPrinterInfo::defaultPrinter().isNull();
    QString file;
    bool asked = false;
    ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<QPrintDialog *>(modal);
        if (!dialog) return;
        asked = true;
        file = dialog->printer()->outputFileName();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(rig.graph->buttonPrint, Qt::LeftButton);
    EXPECT_TRUE(asked);
    // Without a printer it offers a PDF file named after the chart, in the pictures folder.
    if (noPrinter) {
        EXPECT_EQ(file, QDir(TfrmGraph::picturesFolder()).filePath(QStringLiteral("Φεβρουάριος 2004.pdf")));
    }
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(rig.graph->chart()->titleBrush().color(), QColor(Qt::white));
}

TEST(ChartOutput, APointerOverABarShowsItsDayAndAmount) {
    StatsRig rig(ledgerOf({"040215|0020,500"}));
    showChartOf(rig, 2004, 2);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(rig.graph.get()));
    ChartView *view = rig.graph->Chart1;
    const QRectF plot = rig.graph->chart()->plotArea();
    const double slot = plot.width() / 31;
    const QPointF onBar(plot.left() + 14.5 * slot, plot.bottom() - 10);
    QTest::mouseMove(view->viewport(), view->mapFromScene(rig.graph->chart()->mapToScene(onBar)));
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("15 Φεβρουαρίου 2004: 20,5 Δρχ"));
    const QString folder = QStringLiteral(TARV_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    // The tip is a window of its own: it is drawn onto the chart's picture where it stands.
    QImage shot = rig.graph->grab().toImage();
    QPainter painter(&shot);
    for (QWidget *tip : QApplication::topLevelWidgets())
        if (tip->inherits("QTipLabel") && tip->isVisible()) painter.drawPixmap(tip->pos() - rig.graph->pos(), tip->grab());
    painter.end();
    shot.save(folder + QStringLiteral("/stats_chart_hover.png"));
}
