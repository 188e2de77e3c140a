// Pictures of the statistics panel, the expanded calculator and a month's chart, for a person
// to look at. They are written into the build folder's "screenshots" folder.
#include "statsrig.h"

#include <QCoreApplication>
#include <QDir>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::ledgerOf;
using tarv::test::StatsRig;

TEST(Screenshots, PanelCalculatorAndChart) {
    QList<QByteArray> records;
    const double amounts[] = {9, 18, 27, 0, 36, 4.5, 13.5, 45, 22.5, 9, 0, 31.5, 40.5, 18, 9};
    for (int i = 0; i < 15; ++i)
        records << QStringLiteral("0303%1|%2")
                       .arg(2 * i + 1, 2, 10, QLatin1Char('0'))
                       .arg(QLocale().toString(amounts[i], 'f', 3).rightJustified(8, QLatin1Char('0')))
                       .toLatin1();
    records << "030401|0120,000"
            << "030115|0250,500"
            << "030210|0075,000";
    StatsRig rig(ledgerOf(records));
    StatsPanel &f = rig.panel();
    const QString folder = QStringLiteral(TARV_SCREENSHOT_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));

    f.setCalcDates(QDate(2003, 3, 1));
    rig.form->QWidget::show();
    f.toggle(); // as it opens: on the clock's year, 2003, with its totals
    QCoreApplication::processEvents();
    EXPECT_TRUE(rig.form->grab().save(folder + QStringLiteral("/stats_panel.png")));

    rig.calcToggle()->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(rig.form->grab().save(folder + QStringLiteral("/stats_calculator.png")));

    rig.graph->chartYear = 2003;
    rig.graph->chartMonth = 3;
    rig.graph->showChart();
    QCoreApplication::processEvents();
    EXPECT_TRUE(rig.graph->grab().save(folder + QStringLiteral("/stats_chart.png")));

    // The printed page, as a PDF file.
    rig.graph->printerSource = [&] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(folder + QStringLiteral("/stats_chart_print.pdf"));
        return printer;
    };
    rig.graph->buttonPrintClick();
}
