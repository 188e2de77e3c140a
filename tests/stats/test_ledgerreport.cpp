// The report command's figures, forms and errors on prepared ledgers, and its agreement with
// what the statistics windows show for the same ledger.

#include "app/commandline.h"
#include "stats/ledgerreport.h"
#include "statsrig.h"

#include <QBarSeries>
#include <QCoreApplication>
#include <QBarSet>
#include <QDateEdit>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QTableWidget>
#include <QTextStream>
#include <gtest/gtest.h>

using namespace tarv;
using namespace tarv::stats;
using tarv::test::ledgerOf;
using tarv::test::StatsRig;

namespace {

const QDate kToday(2003, 6, 1);

struct Outcome {
    int status = 0;
    QString out, err;
};

Outcome run(const QString &folder, const QStringList &args) {
    Outcome r;
    QTextStream out(&r.out), err(&r.err);
    r.status = runCommand(parseCommandLine(QStringList{QStringLiteral("tarv")} + args, kToday), folder, out, err);
    out.flush();
    err.flush();
    return r;
}

ReportRequest request(ReportRequest::Kind kind, ReportFormat format) {
    ReportRequest r;
    r.kind = kind;
    r.format = format;
    r.year = 2003;
    r.month = 3;
    r.from = QDate(2003, 3, 2);
    r.to = QDate(2003, 4, 1);
    return r;
}

// March 2003 with a second record of one day, a widened record and a record of another year.
const QByteArray kLedger = ledgerOf({"030301|0009,000", "030302|0000,100", "030302|0000,200", "030401|0018,000",
                                     "020301|0100,000", "030315|12345,500"});

} // namespace

TEST(LedgerReport, YearInEachForm) {
    const QString text = formatReport(kLedger, QStringLiteral("data.dat"), request(ReportRequest::Kind::Year, ReportFormat::Text));
    const QStringList lines = text.split(QLatin1Char('\n'));
    EXPECT_EQ(lines[0], QStringLiteral("2003"));
    EXPECT_EQ(lines[3], QStringLiteral("Μάρτιος      12354,8 Δρχ"));
    EXPECT_EQ(lines[4], QStringLiteral("Απρίλιος          18 Δρχ"));
    EXPECT_EQ(lines[12], QStringLiteral("Δεκέμβριος         0 Δρχ"));

    const QString csv = formatReport(kLedger, {}, request(ReportRequest::Kind::Year, ReportFormat::Csv));
    EXPECT_TRUE(csv.startsWith(QStringLiteral("month,total,currency\n2003-01,0,Δρχ\n2003-02,0,Δρχ\n2003-03,12354.8,Δρχ\n")));
    EXPECT_EQ(csv.count(QLatin1Char('\n')), 13);

    const QString json = formatReport(kLedger, {}, request(ReportRequest::Kind::Year, ReportFormat::Json));
    EXPECT_TRUE(json.startsWith(QStringLiteral(
        "{\"year\":2003,\"currency\":\"Δρχ\",\"months\":[{\"month\":\"2003-01\",\"total\":0},")));
    EXPECT_TRUE(json.contains(QStringLiteral("{\"month\":\"2003-03\",\"total\":12354.8}")));
}

TEST(LedgerReport, MonthAndRangeInEachForm) {
    const QString text = formatReport(kLedger, {}, request(ReportRequest::Kind::Month, ReportFormat::Text));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Μάρτιος 2003\n 1        9 Δρχ\n 2      0,2 Δρχ\n 3        0 Δρχ\n")))
        << qPrintable(text);
    EXPECT_EQ(text.count(QLatin1Char('\n')), 32);
    const QString csv = formatReport(kLedger, {}, request(ReportRequest::Kind::Month, ReportFormat::Csv));
    EXPECT_TRUE(csv.contains(QStringLiteral("\n2003-03-15,12345.5,Δρχ\n")));
    EXPECT_TRUE(formatReport(kLedger, {}, request(ReportRequest::Kind::Month, ReportFormat::Json))
                    .contains(QStringLiteral("\"month\":3,\"currency\":\"Δρχ\",\"days\":[{\"date\":\"2003-03-01\",\"total\":9},")));

    // The range holds both records of 2 March and 1 April, not 1 March.
    ReportRequest range = request(ReportRequest::Kind::Range, ReportFormat::Text);
    range.to = QDate(2003, 4, 1);
    const QString both = formatReport(kLedger, {}, range);
    EXPECT_TRUE(both.startsWith(QStringLiteral("2003-03-02 .. 2003-04-01  ")));
    range.format = ReportFormat::Csv;
    const QString rangeCsv = formatReport(kLedger, {}, range);
    EXPECT_TRUE(rangeCsv.startsWith(QStringLiteral("from,to,total,currency\n2003-03-02,2003-04-01,")));
    range.format = ReportFormat::Json;
    EXPECT_TRUE(formatReport(kLedger, {}, range).startsWith(
        QStringLiteral("{\"from\":\"2003-03-02\",\"to\":\"2003-04-01\",\"currency\":\"Δρχ\",\"total\":")));
}

// The report and the windows read the ledger through the same readers; whatever those count
// (widened records included), both show the same figures.
TEST(LedgerReport, ShowsWhatTheStatisticsWindowsShow) {
    StatsRig rig(kLedger);
    StatsPanel &f = rig.panel();
    rig.yearBox()->setText(QStringLiteral("2003"));
    f.showYearTotals();
    const QStringList lines = run(rig.dir.path(), {"--report", "--year", "2003"}).out.split(QLatin1Char('\n'));
    for (int m = 1; m <= 12; ++m)
        EXPECT_TRUE(lines[m].endsWith(QLatin1Char(' ') + rig.monthGrid()->item(m - 1, 1)->text())) << m;

    f.setCalcDates(QDate(2003, 3, 1));
    rig.toPicker()->setDate(QDate(2003, 3, 31));
    const Outcome range = run(rig.dir.path(), {"--report", "--from", "2003-03-01", "--to", "2003-03-31"});
    EXPECT_TRUE(range.out.trimmed().endsWith(QLatin1Char(' ') + rig.rangeTotal()->text())) << qPrintable(range.out);

    rig.graph->chartYear = 2003;
    rig.graph->chartMonth = 3;
    rig.graph->showChart();
    QCoreApplication::processEvents();
    const QStringList days = run(rig.dir.path(), {"--report", "--month", "2003-03", "--format", "csv"}).out.split(QLatin1Char('\n'));
    QBarSet *bars = rig.graph->series()->barSets().first();
    for (int d = 1; d <= 31; ++d)
        EXPECT_EQ(days[d].section(QLatin1Char(','), 1, 1).toDouble(), bars->at(d - 1)) << d;
}

TEST(LedgerReport, DamagedOrMissingLedgerNamesTheFileAndLineAndWritesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.dat"));
    Outcome r = run(dir.path(), {"--report"});
    EXPECT_EQ(r.status, ExitLedger);
    EXPECT_TRUE(r.err.contains(path)) << qPrintable(r.err);
    EXPECT_FALSE(QFileInfo::exists(path));

    const QByteArray damaged = ledgerOf({"030301|0009,000", "030302|00x9,000"});
    test::writeFile(path, damaged);
    const QDateTime written = QFileInfo(path).lastModified();
    r = run(dir.path(), {"--report", "--year", "2003"});
    EXPECT_EQ(r.status, ExitLedger);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("tarv: %1, line 4: ").arg(path))) << qPrintable(r.err);
    EXPECT_TRUE(r.out.isEmpty());
    r = run(dir.path(), {"--report", "--from", "2003-03-01", "--to", "2003-03-02"});
    EXPECT_TRUE(r.err.contains(QStringLiteral(", line 4: "))) << qPrintable(r.err);

    test::writeFile(path, "8|22|x|540|9|E\r\n\r\n030301|0009,000");
    r = run(dir.path(), {"--report", "--month", "2003-03"});
    EXPECT_EQ(r.status, ExitLedger);
    EXPECT_TRUE(r.err.contains(QStringLiteral(", line 1: "))) << qPrintable(r.err);

    QDirIterator it(dir.path(), QDir::Files | QDir::Hidden);
    QStringList files;
    while (it.hasNext()) files << QFileInfo(it.next()).fileName();
    EXPECT_EQ(files, QStringList{QStringLiteral("data.dat")});
}

TEST(LedgerReport, BadArgumentsAreNamedWithStatus2) {
    QTemporaryDir dir;
    test::writeFile(dir.filePath(QStringLiteral("data.dat")), kLedger);
    const QList<std::pair<QStringList, QString>> cases{
        {{"--reprot"}, "Unknown option 'reprot'."},
        {{"--report", "extra"}, "unexpected argument 'extra'"},
        {{"--report", "--year", "1999"}, "--year: the year 1999 is outside 2000..2099"},
        {{"--report", "--year", "21OO"}, "--year: '21OO' is not a year of the form YYYY"},
        {{"--report", "--month", "2003-13"}, "--month: '2003-13' is not a date of the form YYYY-MM"},
        {{"--report", "--from", "2003-02-30", "--to", "2003-03-01"}, "--from: '2003-02-30' is not a date of the form YYYY-MM-DD"},
        {{"--report", "--from", "2003-03-02", "--to", "2003-03-01"}, "--from 2003-03-02 is after --to 2003-03-01"},
        {{"--report", "--from", "2100-01-01", "--to", "2100-01-02"}, "--from: the year 2100 is outside 2000..2099"},
        {{"--report", "--from", "2003-03-02"}, "--from and --to go together"},
        {{"--report", "--year", "2003", "--month", "2003-01"}, "choose one of --year, --month and --from/--to"},
        {{"--report", "--format", "xml"}, "--format: 'xml' is not one of text, csv and json"},
        {{"--status", "--format", "csv"}, "--status prints text or json"},
        {{"--year", "2003"}, "--year, --month, --from, --to and --format go with --report or --status"},
    };
    for (const auto &[args, message] : cases) {
        const Outcome r = run(dir.path(), args);
        EXPECT_EQ(r.status, ExitUsage) << qPrintable(args.join(' '));
        EXPECT_EQ(r.err.section(QLatin1Char('\n'), 0, 0), QStringLiteral("tarv: ") + message);
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST(LedgerReport, WithoutACommandTheProgramStartsAndQtOptionsPass) {
    EXPECT_EQ(parseCommandLine({"tarv"}, kToday).action, Command::Action::StartProgram);
    EXPECT_EQ(parseCommandLine({"tarv", "-platform", "offscreen", "-session", "abc"}, kToday).action,
              Command::Action::StartProgram);
    const Command c = parseCommandLine({"tarv", "--report"}, kToday);
    EXPECT_EQ(c.report.kind, ReportRequest::Kind::Year);
    EXPECT_EQ(c.report.year, 2003);
    EXPECT_TRUE(run({}, {"--help"}).out.contains(QStringLiteral("--report")));
    EXPECT_TRUE(run({}, {"--version"}).out.startsWith(QStringLiteral("tarv ")));
}
