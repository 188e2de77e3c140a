#include "app/commandline.h"
#include "calls/callreport.h"
#include "calls/callrow.h"
#include "support/tempdir.h"

#include "framework/textformat.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>
#include <cmath>
#include <random>

using namespace tarv;
using namespace tarv::calls;

namespace {

CallRow row(const QDate &day, int hour, int units, double cost, std::optional<quint64> received) {
    CallRow r;
    r.start = QDateTime(day, QTime(hour, 0), Qt::OffsetFromUTC, 7200);
    r.end = r.start.addSecs(units * 270);
    r.units = units;
    r.unitsA = units;
    r.cost = cost;
    r.currency = QStringLiteral("Δρχ");
    r.name = QStringLiteral("Provider");
    r.received = received;
    r.sent = received ? std::optional<quint64>(1) : std::nullopt;
    return r;
}

QByteArray logOf(const QList<CallRow> &rows) {
    QByteArray out = csvHeader() + '\n';
    for (const CallRow &r : rows) out += csvLine(r) + '\n';
    return out;
}

// A log of three connections, the last in April, and one damaged line that is passed over.
const QByteArray kLog = logOf({row(QDate(2001, 3, 15), 10, 2, 18, 5'000'000'000ull),
                               row(QDate(2001, 3, 31), 23, 1, 9, std::nullopt),
                               row(QDate(2001, 4, 1), 0, 3, 27, 10)}) +
                        "2001-03-20,damaged\n";

QString report(const QStringList &args, const QString &folder, int *status = nullptr) {
    QString out, err;
    QTextStream o(&out), e(&err);
    const int s = runCommand(parseCommandLine(QStringList{QStringLiteral("tarv")} + args, QDate(2001, 6, 1)), folder, o, e);
    if (status) *status = s;
    o.flush();
    e.flush();
    return out + err;
}

} // namespace

TEST(CallsReport, ListsTheRowsOfTheRequestedDaysInEachFormat) {
    QTemporaryDir dir;
    tarv::test::writeFile(dir.filePath(QStringLiteral("calls.csv")), kLog);

    const QString csv = report({"--report", "--calls", "--month", "2001-03", "--format", "csv"}, dir.path());
    EXPECT_EQ(csv.count(QLatin1Char('\n')), 3) << qPrintable(csv);
    EXPECT_TRUE(csv.startsWith(QString::fromUtf8(csvHeader())));
    EXPECT_FALSE(csv.contains(QLatin1String("2001-04-01")));

    const QString json = report({"--report", "--calls", "--from", "2001-03-31", "--to", "2001-04-01", "--format", "json"},
                                dir.path());
    EXPECT_TRUE(json.contains(QLatin1String("\"bytes_received\":null"))) << qPrintable(json);
    EXPECT_TRUE(json.contains(QLatin1String("\"total\":{\"seconds\":1080,\"units\":4,\"cost\":36,"))) << qPrintable(json);

    const QString text = report({"--report", "--calls", "--month", "2001-03"}, dir.path());
    EXPECT_TRUE(text.contains(QLatin1String("5000000000"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("27 Δρχ"))) << qPrintable(text); // the month's total
}

TEST(CallsReport, AMissingLogIsEmptyAndCallsAloneIsAUsageError) {
    QTemporaryDir dir;
    int status = -1;
    const QString json = report({"--report", "--calls", "--month", "2001-03", "--format", "json"}, dir.path(), &status);
    EXPECT_EQ(status, ExitOk);
    EXPECT_TRUE(json.contains(QLatin1String("\"calls\":[]"))) << qPrintable(json);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("calls.csv"))));
    report({"--calls"}, dir.path(), &status);
    EXPECT_EQ(status, ExitUsage);
}

// The json and text forms to the byte, with a name that needs escaping (a quote, a backslash, a
// comma, a tab and a "%1" that is text, not a place to fill in).
TEST(CallsReport, WritesEachFormatToTheByte) {
    CallRow odd = row(QDate(2001, 3, 20), 8, 3, 12.5, 0);
    odd.name = QStringLiteral("Α \"β\", \\ %1\t");
    odd.state = CallRow::State::Interrupted;
    const QByteArray log = logOf({row(QDate(2001, 3, 15), 10, 2, 18, 5'000'000'000ull), odd,
                                  row(QDate(2001, 3, 31), 23, 1, 9, std::nullopt)}) +
                           "2001-03-20,damaged\n";
    stats::ReportRequest march;
    march.kind = stats::ReportRequest::Kind::Month;
    march.year = 2001;
    march.month = 3;
    const QLocale greek(QLocale::Greek, QLocale::Greece);

    march.format = stats::ReportFormat::Json;
    EXPECT_EQ(formatCallsReport(log, march, greek).toStdString(),
              R"({"from":"2001-03-01","to":"2001-03-31","calls":[{"start":"2001-03-15T10:00:00+02:00","end":"2001-03-15T10:09:00+02:00","seconds":540,"units":2,"cost":18,"currency":"Δρχ","units_a":2,"units_b":0,"name":"Provider","device":"","bytes_received":5000000000,"bytes_sent":1,"state":"finished"},{"start":"2001-03-20T08:00:00+02:00","end":"2001-03-20T08:13:30+02:00","seconds":810,"units":3,"cost":12.5,"currency":"Δρχ","units_a":3,"units_b":0,"name":"Α \"β\", \\ %1\u0009","device":"","bytes_received":0,"bytes_sent":1,"state":"interrupted"},{"start":"2001-03-31T23:00:00+02:00","end":"2001-03-31T23:04:30+02:00","seconds":270,"units":1,"cost":9,"currency":"Δρχ","units_a":1,"units_b":0,"name":"Provider","device":"","bytes_received":null,"bytes_sent":null,"state":"finished"}],"total":{"seconds":1620,"units":6,"cost":39.5,"currency":"Δρχ","bytes_received":5000000000,"bytes_sent":2}})" "\n");

    march.format = stats::ReportFormat::Text;
    EXPECT_EQ(formatCallsReport(log, march, greek).toStdString(), R"(Έναρξη               Διάρκεια  Μονάδες    Κόστος        Λήψη  Αποστολή  Κατάσταση
2001-03-15 10:00:00   0:09:00        2    18 Δρχ  5000000000         1  ολοκληρώθηκε
2001-03-20 08:00:00   0:13:30        3  12,5 Δρχ           0         1  διακόπηκε
2001-03-31 23:00:00   0:04:30        1     9 Δρχ           -         -  ολοκληρώθηκε
Σύνολο                0:27:00        6  39,5 Δρχ  5000000000         2
)");

    // A row in a form the log does not write itself is read all the same and written as the log would.
    march.format = stats::ReportFormat::Json;
    const QString other = QString::fromUtf8(formatCallsReport(
        csvHeader() + "\n2001-03-21T08:00:00Z,2001-03-21T08:04:30Z,270,1,9.50,x,1,0,P,modem,,,finished\n", march, greek));
    EXPECT_TRUE(other.contains(QLatin1String(R"("start":"2001-03-21T08:00:00+00:00","end":"2001-03-21T08:04:30+00:00",)"
                                             R"("seconds":270,"units":1,"cost":9.5,)")))
        << qPrintable(other);

    // The totals of rows edited in with the largest units a row takes do not overflow.
    const QByteArray most = "2001-03-21T08:00:00+02:00,2001-03-21T08:04:30+02:00,270,2147483647,9,x,1,0,P,m,,,finished\n";
    EXPECT_TRUE(formatCallsReport(most + most, march, greek).contains(R"("total":{"seconds":540,"units":4294967294,)"));
}

// Costs are written by hand where that is safe and by Qt otherwise; either way each must come out
// as plainNumber (json) and fmt::general (text) write it, including the halfway cases where the
// two ways of rounding part, and the edges where an exponent begins.
TEST(CallsReport, WritesEveryCostAsQtWould) {
    QList<QByteArray> costs{"0", "-0", "63", "0.35", "12.5", "0.1", "0.0001", "0.00001", "0.000123456789012345",
                            "999999999999999", "1000000000000000", "123456789012345.6", "185244.3525390625",
                            "82624.50830078125", "-2.5", "1e300", "5e-324", "1.7976931348623157e308"};
    std::mt19937_64 random(11);
    for (int i = 0; i < 3000; ++i) {
        double v = 0;
        switch (i % 3) {
        case 0: v = double(random() % 100'000'000) / 1024; break; // binary fractions: halfway cases
        case 1: v = double(random() % 1'000'000) * 0.35; break;
        default: v = std::ldexp(double(random() % 1'000'000'007), int(random() % 100) - 60); break;
        }
        costs << QByteArray::number(v, 'g', 17);
    }
    const QLocale greek(QLocale::Greek, QLocale::Greece);
    stats::ReportRequest march;
    march.kind = stats::ReportRequest::Kind::Month;
    march.year = 2001;
    march.month = 3;
    for (const QByteArray &cost : costs) {
        const QByteArray log = "2001-03-15T10:00:00+02:00,2001-03-15T10:09:00+02:00,540,1," + cost + ",Δρχ,1,0,P,m,,,finished\n";
        const std::optional<CallRow> row = parseCsvLine(log.trimmed());
        ASSERT_TRUE(row) << cost.constData();
        march.format = stats::ReportFormat::Json;
        const QString json = QString::fromUtf8(formatCallsReport(log, march, greek));
        EXPECT_TRUE(json.contains(QLatin1String("\"cost\":") + stats::plainNumber(row->cost) + QLatin1String(",\"currency\"")))
            << cost.constData() << " " << qPrintable(json);
        march.format = stats::ReportFormat::Text;
        const QString text = QString::fromUtf8(formatCallsReport(log, march, greek));
        EXPECT_TRUE(text.contains(QLatin1Char(' ') + fmt::general(row->cost, greek) + QStringLiteral(" Δρχ  ")))
            << cost.constData() << " " << qPrintable(text);
    }
}

// The csv form copies lines as they stand where it can; what it gives must not depend on that:
// the header, then each row of the days with an LF, whatever the file's line ends.
TEST(CallsReport, CopiesTheCsvRowsOfTheDaysWithLfWhateverTheFileHolds) {
    const QByteArray a = "2001-03-15T10:00:00+02:00,2001-03-15T10:09:00+02:00,540,2,18,Δρχ,2,0,P,modem,,,finished";
    const QByteArray b = "2001-03-20T08:00:00+02:00,2001-03-20T08:13:30+02:00,810,3,12.5,Δρχ,3,0,\"A, B\",modem,0,1,interrupted";
    const QByteArray april = "2001-04-01T00:00:00+02:00,2001-04-01T00:04:30+02:00,270,1,9,Δρχ,1,0,P,modem,,,finished";
    const QByteArray header = csvHeader();
    stats::ReportRequest march;
    march.kind = stats::ReportRequest::Kind::Month;
    march.year = 2001;
    march.month = 3;
    march.format = stats::ReportFormat::Csv;
    const QByteArray expected = header + '\n' + a + '\n' + b + '\n';
    const QList<QByteArray> files{
        header + '\n' + a + '\n' + b + '\n',
        header + '\n' + a + '\n' + b,
        header + "\r\n" + a + "\r\n" + b + "\r\n",
        a + '\n' + b + '\n',
        "\xEF\xBB\xBF" + header + '\n' + a + '\n' + b + '\n',
        header + '\n' + a + '\n' + april + '\n' + b + '\n' + april + '\n',
        header + '\n' + a + "\n2001-03-16,damaged\n\n" + b + '\n',
        header + '\n' + a + "\r\n" + b + '\n',
        header + '\n' + header + '\n' + a + '\n' + b + '\n',
    };
    for (const QByteArray &file : files)
        EXPECT_EQ(formatCallsReport(file, march), expected) << file.constData();

    // Rows of every length around the sixteen bytes the commas are counted by, and past the 4080
    // after which the counts are summed, with commas in quotes and, in damaged lines, out of them.
    QByteArray file = header + '\n', kept = header + '\n';
    for (int n = 0; n < 40; ++n) {
        for (const QByteArray &name : {QByteArray(n, 'x'), '"' + QByteArray(n, ',') + '"', QByteArray(n, ',')}) {
            const QByteArray line = a.left(a.indexOf(",P,") + 1) + name + ",modem,,,finished";
            file += line + '\n';
            if (n == 0 || name[0] != ',') kept += line + '\n';
        }
    }
    const QByteArray longName = '"' + QByteArray(5000, ',') + '"';
    file += a.left(a.indexOf(",P,") + 1) + longName + ",modem,,,finished\n" + a.left(a.indexOf(",P,") + 1) + longName + "x,\n";
    kept += a.left(a.indexOf(",P,") + 1) + longName + ",modem,,,finished\n";
    EXPECT_EQ(formatCallsReport(file, march), kept);
    EXPECT_EQ(formatCallsReport(QByteArray(), march), header + '\n');
    EXPECT_EQ(formatCallsReport(header + '\n' + april + '\n', march), header + '\n');
}

// The command line writes the report's bytes to its output as they are, after what the stream
// held before, and a stream over text still gets the same report.
TEST(CallsReport, TheCommandLinePrintsTheReportsBytesWhereverItWrites) {
    QTemporaryDir dir;
    tarv::test::writeFile(dir.filePath(QStringLiteral("calls.csv")), kLog);
    for (const char *format : {"text", "json", "csv"}) {
        const Command command = parseCommandLine(
            {"tarv", "--report", "--calls", "--month", "2001-03", "--format", format}, QDate(2001, 6, 1));
        stats::ReportRequest request = command.report;
        const QByteArray expected = formatCallsReport(kLog, request);

        QBuffer device;
        device.open(QIODevice::WriteOnly);
        QTextStream out(&device), err(&device);
        out << "Σ";
        EXPECT_EQ(runCommand(command, dir.path(), out, err), ExitOk);
        out.flush();
        EXPECT_EQ(device.data(), QByteArray("Σ") + expected) << format;

        QString text;
        QTextStream toText(&text);
        EXPECT_EQ(runCommand(command, dir.path(), toText, err), ExitOk);
        toText.flush();
        EXPECT_EQ(text, QString::fromUtf8(expected)) << format;
    }
}
