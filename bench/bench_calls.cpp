// Times the connection log: the update per charged unit beside the ledger's own write of the
// same unit, and `--report --calls` over a log of 100,000 rows beside two plain reads of the
// file: all of it at once, and line by line as text, as a program that reads a log at all would.
#include "benchsupport.h"
#include "calls/callreport.h"
#include "calls/calllog.h"
#include "framework/textformat.h"
#include "meter/meter.h"
#include "platform/fakes/fakes.h"
#include "platform/fakes/nullmeterview.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
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
    // The best of many runs for the reads and the csv form, which take a millisecond or two and
    // so are at the mercy of anything else the machine does.
    const double plain = bestOf(20, [&] {
        QFile f(csvPath);
        f.open(QIODevice::ReadOnly);
        volatile qint64 n = f.readAll().size();
        (void)n;
    });
    const double lines = bestOf(5, [&] {
        QFile f(csvPath);
        f.open(QIODevice::ReadOnly | QIODevice::Text);
        QTextStream in(&f);
        QString line;
        qsizetype n = 0;
        while (in.readLineInto(&line)) n += line.size();
        volatile qsizetype sink = n;
        (void)sink;
    });
    stats::ReportRequest all;
    all.kind = stats::ReportRequest::Kind::Range;
    all.from = QDate(1980, 1, 1);
    all.to = QDate(2099, 12, 31);
    // One month of the log's 10,000 days, which the csv form cannot answer with the file's own bytes.
    stats::ReportRequest month;
    month.kind = stats::ReportRequest::Kind::Month;
    month.year = 1985;
    month.month = 3;
    const auto time = [&](stats::ReportRequest request, stats::ReportFormat format) {
        request.format = format;
        return bestOf(format == stats::ReportFormat::Csv ? 20 : 3, [&] {
            volatile qsizetype n = calls::callsReport(dir.path(), request).size();
            (void)n;
        });
    };
    const double csv = time(all, stats::ReportFormat::Csv);
    const double json = time(all, stats::ReportFormat::Json);
    const double text = time(all, stats::ReportFormat::Text);
    const double csvMonth = time(month, stats::ReportFormat::Csv);
    // The same log with CRLF line ends, as an editor may leave it: the csv form then copies every
    // line on its own and ends it with an LF.
    stats::ReportRequest allCsv = all;
    QByteArray crlfLog = calls::csvHeader() + "\r\n";
    {
        const QList<QByteArray> logLines = log.split('\n');
        for (qsizetype i = 1; i < logLines.size(); ++i)
            if (!logLines[i].isEmpty()) crlfLog += logLines[i] + "\r\n";
    }
    const QString crlfPath = dir.filePath(QStringLiteral("crlf/calls.csv"));
    QDir(dir.path()).mkdir(QStringLiteral("crlf"));
    {
        QFile f(crlfPath);
        f.open(QIODevice::WriteOnly);
        f.write(crlfLog);
    }
    allCsv.format = stats::ReportFormat::Csv;
    const double csvCrlf = bestOf(20, [&] {
        volatile qsizetype n = calls::callsReport(dir.filePath(QStringLiteral("crlf")), allCsv).size();
        (void)n;
    });

    std::printf("ledger write per unit   : %8.3f ms (3650 records, includes fsync)\n", save);
    std::printf("log update per unit     : %8.3f ms (%.2f x the ledger's write, includes fsync)\n", update,
                update / save);
    std::printf("plain read of calls.csv : %8.3f ms (%d rows, %lld bytes, QFile::readAll)\n", plain, rows,
                static_cast<long long>(log.size()));
    std::printf("read line by line       : %8.3f ms (QTextStream::readLineInto)\n", lines);
    const auto line = [&](const char *what, double ms) {
        std::printf("%-24s: %8.3f ms (%6.1f x plain read, %5.2f x line by line)\n", what, ms, ms / plain, ms / lines);
    };
    line("--report --calls (csv)", csv);
    line("  a month of it (csv)", csvMonth);
    line("  all, CRLF lines (csv)", csvCrlf);
    line("--report --calls (json)", json);
    line("--report --calls (text)", text);
    return 0;
}
