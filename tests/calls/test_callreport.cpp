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
