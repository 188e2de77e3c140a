// Times the connection log: the update per charged unit beside the ledger's own write of the
// same unit, and `--report --calls` over a log of 100,000 rows beside one plain read of the file.
#include "benchsupport.h"
#include "calls/callreport.h"
#include "calls/calllog.h"
#include "framework/textformat.h"
#include "meter/meter.h"
#include "platform/fakes/fakes.h"
#include "platform/fakes/nullmeterview.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace tarv;
using tarv::bench::bestOf;

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;

    // A ledger of ten years of days, the last one being charged.
    QByteArray ledger = Ledger::defaultHeaderBytes() + "\r\n";
    QDate day(1995, 1, 1);
    for (int i = 0; i < 3650; ++i, day = day.addDays(1)) ledger += "\r\n" + fmt::dayKey(day).toLatin1() + "|0012,500";
    const QDate lastDay = day.addDays(-1);
    {
        QFile f(dir.filePath(QStringLiteral("data.dat")));
        f.open(QIODevice::WriteOnly);
        f.write(ledger);
    }

    // A log of 100,000 rows, ten a day.
    const int rows = 100000;
    QByteArray log = calls::csvHeader() + '\n';
    calls::CallRow row;
    row.currency = QStringLiteral("Δρχ");
    row.name = QStringLiteral("Provider");
    row.deviceType = QStringLiteral("modem");
    for (int i = 0; i < rows; ++i) {
        row.start = QDateTime(QDate(1980, 1, 1).addDays(i / 10), QTime(i % 10 * 2, 0));
        row.end = row.start.addSecs(1800);
        row.units = row.unitsA = 7;
        row.cost = 63;
        row.received = 1000000 + i;
        row.sent = 100000 + i;
        log += calls::csvLine(row) + '\n';
    }
    const QString csvPath = dir.filePath(QStringLiteral("calls.csv"));
    {
        QFile f(csvPath);
        f.open(QIODevice::WriteOnly);
        f.write(log);
    }

    auto clock = std::make_shared<FakeClock>(QDateTime(lastDay, QTime(12, 0)));
    Platform p = fakePlatform(dir.path(), clock);
    NullMeterView view;
    Meter meter(p, view);
    meter.initState();
    meter.readData(lastDay);
    calls::CallLog callLog(dir.path());
    callLog.connected(clock->now(), {QStringLiteral("Provider"), QStringLiteral("modem"), {}});

    const double save = bestOf(20, [&] {
        meter.s.todayAccrued += 9;
        meter.saveData();
    });
    const double update = bestOf(20, [&] {
        clock->advance(270000);
        callLog.charged(clock->now(), lastDay, 1, 0, 9, QStringLiteral("Δρχ"));
    });
    const double plain = bestOf(5, [&] {
        QFile f(csvPath);
        f.open(QIODevice::ReadOnly);
        volatile qint64 n = f.readAll().size();
        (void)n;
    });
    stats::ReportRequest all;
    all.kind = stats::ReportRequest::Kind::Range;
    all.from = QDate(1980, 1, 1);
    all.to = QDate(2099, 12, 31);
    all.format = stats::ReportFormat::Csv;
    const double report = bestOf(3, [&] { volatile qsizetype n = calls::callsReport(dir.path(), all).size(); (void)n; });
    const QByteArray bytesRead = [&] {
        QFile f(csvPath);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const double formatOnly = bestOf(3, [&] {
        volatile qsizetype n = calls::formatCallsReport(bytesRead, all).size();
        (void)n;
    });
    const double utf16 = bestOf(3, [&] {
        volatile qsizetype n = QString::fromUtf8(bytesRead).size();
        (void)n;
    });
    std::printf("of which the csv form  : %8.3f ms, its conversion to text %8.3f ms\n", formatOnly, utf16);
    all.format = stats::ReportFormat::Json;
    const double json = bestOf(3, [&] { volatile qsizetype n = calls::callsReport(dir.path(), all).size(); (void)n; });
    all.format = stats::ReportFormat::Text;
    const double text = bestOf(3, [&] { volatile qsizetype n = calls::callsReport(dir.path(), all).size(); (void)n; });

    std::printf("ledger write per unit   : %8.3f ms (3650 records, includes fsync)\n", save);
    std::printf("log update per unit     : %8.3f ms (%.2f x the ledger's write, includes fsync)\n", update,
                update / save);
    std::printf("plain read of calls.csv : %8.3f ms (%d rows, %lld bytes)\n", plain, rows,
                static_cast<long long>(log.size()));
    std::printf("--report --calls (csv)  : %8.3f ms (%.1f x plain read)\n", report, report / plain);
    std::printf("--report --calls (json) : %8.3f ms (%.1f x plain read)\n", json, json / plain);
    std::printf("--report --calls (text) : %8.3f ms (%.1f x plain read)\n", text, text / plain);
    return 0;
}
