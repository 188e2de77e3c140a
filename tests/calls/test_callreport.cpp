#include "app/commandline.h"
#include "calls/callreport.h"
#include "calls/callrow.h"
#include "support/tempdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

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
}
