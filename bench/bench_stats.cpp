// Times the statistics views on a ledger of 100,000 day records: the monthly totals
// (showYearTotals), the range total (showRangeTotal) and the chart's build, each beside one plain
// sequential read of the same file, and prints the figures.
#include "benchsupport.h"
#include "framework/textformat.h"
#include "meter/ledger.h"
#include "platform/fakes/fakes.h"
#include "shell/tform1.h"
#include "stats/ledgerstats.h"
#include "stats/statspanel.h"
#include "stats/tfrmgraph.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>

using namespace tarv;
using tarv::bench::bestOf;

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::Greek, QLocale::Greece));
    QApplication app(argc, argv);
    const int records = 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.dat"));

    // Records for consecutive days; two-digit years repeat after a century, so every year and
    // month of the views below matches about three hundred records.
    QByteArray bytes = Ledger::defaultHeaderBytes() + "\r\n";
    QDate day(1830, 1, 1);
    for (int i = 0; i < records; ++i, day = day.addDays(1))
        bytes += "\r\n" + fmt::dayKey(day).toLatin1() + "|" + fmt::ledgerAmount(1 + i % 97 * 0.5).toLatin1();
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return 1;
    }

    Platform p = fakePlatform(dir.path(), std::make_shared<FakeClock>(QDateTime(QDate(2003, 3, 15), QTime(12, 0))));
    TForm1 form(p);
    TfrmGraph graph(&form.meter(), &form);
    form.setOtherWindows(nullptr, &graph);
    StatsPanel &panel = *form.statsPanel();
    panel.findChild<QLineEdit *>(QStringLiteral("yearBox"))->setText(QStringLiteral("2003"));
    panel.setCalcDates(QDate(2000, 1, 1));
    panel.findChild<QDateEdit *>(QStringLiteral("toPicker"))->setDate(QDate(2099, 12, 31));
    graph.chartYear = 2003;
    graph.chartMonth = 3;

    const double plain = bestOf(40, [&] {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return;
        volatile qint64 n = f.readAll().size();
        (void)n;
    });
    const double lines = bestOf(40, [&] {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return;
        volatile qint64 n = 0;
        while (!f.atEnd())
            n = n + f.readLine().size();
    });
    // The readers alone, on bytes already in memory.
    const double scanYear = bestOf(40, [&] { volatile double v = stats::monthlyTotals(bytes, QStringLiteral("2003"))[2]; (void)v; });
    const double scanRange = bestOf(40, [&] { volatile double v = stats::rangeTotal(bytes, QDate(2000, 1, 1), QDate(2099, 12, 31)); (void)v; });
    const double scanDays = bestOf(40, [&] { volatile double v = stats::dayValues(bytes, 2003, 3)[0]; (void)v; });
    const double readFile = bestOf(40, [&] { volatile qsizetype n = stats::readLedgerFile(dir.path()).size(); (void)n; });
    const double year = bestOf(40, [&] { panel.showYearTotals(); });
    const double range = bestOf(40, [&] { panel.showRangeTotal(); });
    const double chart = bestOf(40, [&] { graph.FormActivate(); });

    std::printf("ledger: %d records, %lld bytes\n", records, static_cast<long long>(bytes.size()));
    std::printf("plain sequential read      : %8.3f ms\n", plain);
    std::printf("plain read line by line    : %8.3f ms\n", lines);
    std::printf("readLedgerFile             : %8.3f ms\n", readFile);
    std::printf("scans alone (year/range/days): %.3f / %.3f / %.3f ms\n", scanYear, scanRange, scanDays);
    std::printf("showYearTotals (12 months) : %8.3f ms  (%.1f x plain read)\n", year, year / plain);
    std::printf("showRangeTotal (2000-2099) : %8.3f ms  (%.1f x plain read)\n", range, range / plain);
    std::printf("chart build (FormActivate) : %8.3f ms  (%.1f x plain read)\n", chart, chart / plain);
    return 0;
}
