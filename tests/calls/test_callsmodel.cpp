// The connections window's rows: sorted as numbers and times rather than as their texts, one
// day's rows and their sums, and the month read from the log with its damaged lines counted.
#include "calls/callreport.h"
#include "calls/callsloader.h"
#include "calls/callsmodel.h"
#include "support/tempdir.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tarv::calls;

namespace {

CallRow call(int day, int hour, int units, double cost, std::optional<quint64> received) {
    CallRow r;
    r.start = QDateTime(QDate(2001, 3, day), QTime(hour, 0), Qt::OffsetFromUTC, 7200);
    r.end = r.start.addSecs(units * 270);
    r.units = units;
    r.cost = cost;
    r.currency = QStringLiteral("Δρχ");
    r.received = received;
    r.sent = received ? std::optional<quint64>(*received / 10) : std::nullopt;
    return r;
}

// Days 2 and 15 (a text sort puts "2/3" after "15/3"), costs 9, 18 and 100 ("100" sorts first as
// text), traffic of 5 GB, 10 bytes and unknown.
const QList<CallRow> kRows{call(2, 10, 1, 9, 5'000'000'000ull), call(15, 9, 2, 18, 10),
                           call(15, 22, 11, 100, std::nullopt)};

QList<int> unitsInOrder(const CallsFilter &f) {
    QList<int> units;
    for (const CallRow &r : f.shownRows()) units << r.units;
    return units;
}

} // namespace

TEST(CallsModel, SortsTimesAndFiguresByValue) {
    CallsModel model;
    model.setRows(kRows);
    CallsFilter filter(&model);
    filter.sort(CallsModel::Start, Qt::DescendingOrder);
    EXPECT_EQ(unitsInOrder(filter), (QList<int>{11, 2, 1}));
    filter.sort(CallsModel::Cost, Qt::AscendingOrder);
    EXPECT_EQ(unitsInOrder(filter), (QList<int>{1, 2, 11}));
    filter.sort(CallsModel::Duration, Qt::DescendingOrder);
    EXPECT_EQ(unitsInOrder(filter), (QList<int>{11, 2, 1}));
    // An unknown traffic goes below every known one.
    filter.sort(CallsModel::Received, Qt::AscendingOrder);
    EXPECT_EQ(unitsInOrder(filter), (QList<int>{11, 2, 1}));
    EXPECT_EQ(filter.index(0, CallsModel::Received).data().toString(), QStringLiteral("–"));
    // A new month's rows keep the order the user chose.
    model.setRows({kRows[2], kRows[0]});
    EXPECT_EQ(unitsInOrder(filter), (QList<int>{11, 1}));
}

TEST(CallsModel, ADayKeepsItsRowsAndTheTotalsFollowWhatIsShown) {
    CallsModel model;
    model.setRows(kRows);
    CallsFilter filter(&model);
    CallTotals all = filter.totals();
    EXPECT_EQ(all.calls, 3);
    EXPECT_EQ(all.units, 14);
    EXPECT_DOUBLE_EQ(all.cost, 127);
    EXPECT_EQ(all.seconds, 14 * 270);
    EXPECT_EQ(all.received, 5'000'000'010ull);
    EXPECT_EQ(all.currency, QStringLiteral("Δρχ"));

    filter.setDay(QDate(2001, 3, 15));
    EXPECT_EQ(filter.rowCount(), 2);
    EXPECT_EQ(filter.totals().units, 13);
    EXPECT_EQ(filter.totals().received, 10u);
    filter.setDay(QDate(2001, 3, 3));
    EXPECT_EQ(filter.rowCount(), 0);
    EXPECT_EQ(filter.totals().calls, 0);
    filter.setDay({});
    EXPECT_EQ(filter.rowCount(), 3);
}

TEST(CallsModel, TheMonthIsReadWithItsDamagedLinesCountedAndSavedInTheReportsForm) {
    QByteArray log = csvHeader() + '\n';
    for (const CallRow &r : kRows) log += csvLine(r) + '\n';
    log += csvLine(call(1, 0, 1, 9, 1)).replace("2001-03-01", "2001-04-01") + '\n';
    // Damaged: one of March, one of April (not March's business), one whose day cannot be told.
    log += "2001-03-20,damaged\n2001-04-20,damaged\ngarbage\n\n";
    int skipped = 0;
    const QList<CallRow> march = rowsOfDays(log, QDate(2001, 3, 1), QDate(2001, 3, 31), &skipped);
    EXPECT_EQ(march.size(), 3);
    EXPECT_EQ(skipped, 2);

    // The window's csv is the report's csv of the same rows.
    tarv::stats::ReportRequest request;
    request.kind = tarv::stats::ReportRequest::Kind::Month;
    request.year = 2001;
    request.month = 3;
    request.format = tarv::stats::ReportFormat::Csv;
    EXPECT_EQ(csvOfRows(march), formatCallsReport(log, request));

    QTemporaryDir dir;
    tarv::test::writeFile(dir.filePath(QStringLiteral("calls.csv")), log);
    const MonthCalls read = readMonthCalls(dir.path(), 2001, 4);
    EXPECT_EQ(read.rows.size(), 1);
    EXPECT_EQ(read.skipped, 2);
    EXPECT_TRUE(read.error.isEmpty());
    // A missing log is no error; one that cannot be read is.
    EXPECT_TRUE(readMonthCalls(dir.filePath(QStringLiteral("none")), 2001, 3).error.isEmpty());
    QFile::remove(dir.filePath(QStringLiteral("calls.csv")));
    QDir(dir.path()).mkdir(QStringLiteral("calls.csv"));
    EXPECT_FALSE(readMonthCalls(dir.path(), 2001, 3).error.isEmpty());
}
