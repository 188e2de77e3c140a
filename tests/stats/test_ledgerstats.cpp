#include "framework/errors.h"
#include "stats/ledgerruns.h"
#include "stats/ledgerstats.h"
#include <QDate>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <numeric>

using namespace tarv;
using namespace tarv::stats;

namespace {

QByteArray header(const QByteArray &text = "8|22|270|540|9|\xC4\xF1\xF7") {
    QByteArray h = text;
    h.append(100 - h.size(), ' ');
    return h;
}

// A ledger as the program writes it: the header, the empty line, then the records.
QByteArray ledger(const QList<QByteArray> &records, const QByteArray &head = header()) {
    QByteArray bytes = head + "\r\n";
    for (const QByteArray &r : records)
        bytes += "\r\n" + r;
    return bytes;
}

// The lines of bytes, split the simple way.
QList<QByteArray> splitLines(const QByteArray &bytes) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        lines << bytes.mid(start, i - start);
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < bytes.size()) lines << bytes.mid(start);
    return lines;
}

} // namespace

TEST(MonthlyTotals, SumsEveryRecordOfTheYearByMonth) {
    const auto sums = monthlyTotals(ledger({"030301|0012,340", "030302|0000,100", "030302|0000,200",
                                            "031231|0009,000", "040301|0100,000", "020301|0100,000"}),
                                    QStringLiteral("2003"));
    EXPECT_DOUBLE_EQ(sums[2], 12.34 + 0.1 + 0.2); // several records of one day all add up
    EXPECT_DOUBLE_EQ(sums[11], 9);
    EXPECT_EQ(sums[0], 0);
    for (double s : monthlyTotals(ledger({"030101|0001,000"}), QStringLiteral("2002")))
        EXPECT_EQ(s, 0);
}

TEST(MonthlyTotals, TheHeaderNeverCountsEvenWhenItBeginsWithTheYear) {
    // Zone A from hour 10: the header begins with "10|22|", the key of 2010.
    const QByteArray head = header("10|22|270|540|9|\xC4\xF1\xF7");
    const auto sums = monthlyTotals(ledger({"100105|0001,500"}, head), QStringLiteral("2010"));
    EXPECT_DOUBLE_EQ(sums[0], 1.5);
    // A rewritten header leaves a line of three spaces: passed over like the empty line.
    const QByteArray rewritten =
        header("10|22|270|540|9|\xC4\xF1\xF7").left(95) + "\r\n   \r\n\r\n100105|0001,500";
    EXPECT_DOUBLE_EQ(monthlyTotals(rewritten, QStringLiteral("2010"))[0], 1.5);
}

TEST(MonthlyTotals, DamagedLinesOfTheYear) {
    // A month outside 1..12 is passed over; a month or amount that is no number is an error.
    const auto sums =
        monthlyTotals(ledger({"030001|0005,000", "031301|0005,000", "039901|0005,000", "030201|0001,000"}),
                      QStringLiteral("2003"));
    EXPECT_DOUBLE_EQ(std::accumulate(sums.begin(), sums.end(), 0.0), 1);
    EXPECT_THROW(monthlyTotals(ledger({"03xx01|0005,000"}), QStringLiteral("2003")), EConvertError);
    EXPECT_THROW(monthlyTotals(ledger({"030101|abc"}), QStringLiteral("2003")), EConvertError);
    EXPECT_THROW(monthlyTotals(ledger({"030101"}), QStringLiteral("2003")), EConvertError);
    EXPECT_NO_THROW(monthlyTotals(ledger({"04xx01|zzz"}), QStringLiteral("2003"))); // another year
}

TEST(MonthlyTotals, WideAmountsAndLoneLineEndsStillCount) {
    // The last record may have grown past 10000; a file edited elsewhere may end lines with LF.
    const QByteArray bytes = header() + "\n\n050101|0001,000\n050102|12345,500";
    EXPECT_DOUBLE_EQ(monthlyTotals(bytes, QStringLiteral("2005"))[0], 12346.5);
}

struct RangeCase {
    const char *name;
    QDate from, to;
    double expected;
};

void PrintTo(const RangeCase &c, std::ostream *os) {
    *os << c.name;
}

class RangeTotal : public ::testing::TestWithParam<RangeCase> {};

TEST_P(RangeTotal, SumsTheDaysOfTheRangeBothIncluded) {
    const QByteArray bytes = ledger({"010315|0010,000", "010316|0020,500", "010401|0001,000",
                                     "011231|0100,000", "020101|1000,000", "010317|12345,000"});
    EXPECT_DOUBLE_EQ(rangeTotal(bytes, GetParam().from, GetParam().to), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, RangeTotal,
    ::testing::Values(RangeCase{"OneDayWithARecord", {2001, 3, 16}, {2001, 3, 16}, 20.5},
                      RangeCase{"OneDayWithoutARecord", {2001, 3, 18}, {2001, 3, 18}, 0},
                      RangeCase{"DaysWithoutRecordsAddNothing", {2001, 3, 1}, {2001, 3, 31}, 12375.5},
                      RangeCase{"AcrossAYearEnd", {2001, 12, 31}, {2002, 1, 1}, 1100},
                      // A day's total of 10000 or more widens its record; the grid counts it too.
                      RangeCase{"WideRecordsCount", {2001, 3, 17}, {2001, 3, 17}, 12345},
                      RangeCase{"Everything", {2000, 1, 1}, {2099, 12, 31}, 13476.5}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RangeTotalLines, TheHeaderAndFillerLinesNeverContribute) {
    const QByteArray rewritten =
        header("10|22|270|540|9|\xC4\xF1\xF7").left(95) + "\r\n   \r\n\r\n100105|0001,500";
    EXPECT_DOUBLE_EQ(rangeTotal(rewritten, {2000, 1, 1}, {2099, 12, 31}), 1.5);
    EXPECT_DOUBLE_EQ(rangeTotal(ledger({}), {2000, 1, 1}, {2099, 12, 31}), 0);
}

TEST(RangeTotalLines, KeysOutsideTheCalendarAreDatedBeforeAnyRange) {
    const QByteArray bytes = ledger(
        {"011301|0005,000", "010132|0005,000", "010100|0005,000", "01xx01|0005,000", "010101|0001,000"});
    EXPECT_DOUBLE_EQ(rangeTotal(bytes, {2000, 1, 1}, {2099, 12, 31}), 1);
}

TEST(RangeTotalLines, AnImpossibleDateRaisesADateErrorWhateverTheRange) {
    const QByteArray bytes = ledger({"010431|0005,000"});
    EXPECT_THROW(rangeTotal(bytes, {2005, 1, 1}, {2005, 1, 2}), EDateError);
}

TEST(RangeTotalLines, TheLastDaysOfMonthsAmidTheLedger) {
    // Records followed by others, as in every ledger but at its very end.
    const QList<QByteArray> days = {"000229|0001,000", "040229|0002,000", "030131|0004,000", "031231|0008,000",
                                    "030430|0016,000", "991231|0032,000", "030101|0064,000"};
    EXPECT_DOUBLE_EQ(rangeTotal(ledger(days), {2000, 1, 1}, {2099, 12, 31}), 127);
    EXPECT_DOUBLE_EQ(rangeTotal(ledger(days), {2003, 1, 31}, {2004, 2, 29}), 30);
    for (const char *bad : {"030229", "040230", "030431", "031131"}) {
        const QByteArray bytes = ledger({"030101|0001,000", QByteArray(bad) + "|0001,000", "030101|0001,000"});
        EXPECT_THROW(rangeTotal(bytes, {2001, 1, 1}, {2001, 1, 2}), EDateError) << bad;
    }
    // A line end in place of the bar makes two short lines, neither of them a record.
    EXPECT_DOUBLE_EQ(rangeTotal(ledger({"030101\n0001,000", "030101|0002,000"}), {2000, 1, 1}, {2099, 12, 31}), 2);
}

TEST(RangeTotalLines, LongRunsOfUsualRecordsWithOddOnesAmongThem) {
    // A hundred days of usual records, one of them widened, read beside a plain sum.
    QList<QByteArray> records;
    double expected = 0;
    for (int i = 0; i < 100; ++i) {
        const QDate day = QDate(2003, 1, 1).addDays(i);
        const QByteArray key = QByteArray::number((day.year() - 2000) * 10000 + day.month() * 100 + day.day()).rightJustified(6, '0');
        const double amount = i == 50 ? 12345.678 : i * 1.25 + i * 0.001;
        records << key + "|" + QByteArray::number(amount, 'f', 3).rightJustified(8, '0').replace('.', i % 3 ? ',' : '.');
        if (day >= QDate(2003, 2, 1) && day <= QDate(2003, 3, 15)) expected += amount;
    }
    EXPECT_NEAR(rangeTotal(ledger(records), {2003, 2, 1}, {2003, 3, 15}), expected, 1e-9);
    // A day that does not exist raises wherever it stands in a run.
    for (const int at : {0, 17, 40, 98}) {
        QList<QByteArray> bad = records;
        bad[at] = "030230|0001,000";
        EXPECT_THROW(rangeTotal(ledger(bad), {2003, 2, 1}, {2003, 2, 2}), EDateError) << at;
    }
}

TEST(RangeTotalLines, AnAmountThatDoesNotConvertRaisesOnlyInsideTheRange) {
    const QByteArray bytes = ledger({"010315|00x2,000"});
    EXPECT_NO_THROW(rangeTotal(bytes, {2001, 3, 16}, {2001, 3, 31}));
    EXPECT_THROW(rangeTotal(bytes, {2001, 3, 15}, {2001, 3, 15}), EConvertError);
}

TEST(DayValues, OneValuePerDayTheLaterRecordWinning) {
    const auto values = dayValues(ledger({"040201|0001,000", "040229|0002,500", "040201|0003,000",
                                          "040301|0100,000", "030201|0100,000"}),
                                  2004, 2);
    EXPECT_DOUBLE_EQ(values[0], 3);
    EXPECT_DOUBLE_EQ(values[28], 2.5);
    EXPECT_EQ(values[29], 0);
    EXPECT_EQ(values[30], 0);
}

TEST(DayValues, DaysOutsideOneToThirtyOneArePassedOver) {
    const auto values = dayValues(ledger({"040200|0001,000", "040232|0001,000", "040299|0001,000"}), 2004, 2);
    for (double v : values)
        EXPECT_EQ(v, 0);
    EXPECT_THROW(dayValues(ledger({"0402xy|0001,000"}), 2004, 2), EConvertError);
    // A header that begins with four digits is still no record.
    EXPECT_NO_THROW(dayValues(ledger({}, header("0402|22|270|540|9|\xC4\xF1\xF7")), 2004, 2));
}

TEST(Readers, AgreeOnWidenedRecords) {
    // The meter widens a record in place once the day's total reaches 10000.
    const QByteArray bytes = ledger({"010315|0010,000", "010317|12345,000", "010401|0001,000", "020101|0003,000"});
    const auto months = monthlyTotals(bytes, QStringLiteral("2001"));
    EXPECT_DOUBLE_EQ(std::accumulate(months.begin(), months.end(), 0.0),
                     rangeTotal(bytes, {2001, 1, 1}, {2001, 12, 31}));
    EXPECT_DOUBLE_EQ(dayValues(bytes, 2001, 3)[16], 12345);
}

TEST(Readers, SplitLinesAtEveryKindOfLineEndWhereverItFalls) {
    // Line ends at every position of the reader's blocks, CR LF pairs split across them.
    quint32 seed = 12345;
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes;
        const int size = round % 70;
        for (int i = 0; i < size; ++i) {
            seed = seed * 1103515245 + 12345;
            bytes += "ab\r\n"[(seed >> 16) % 4];
        }
        QList<QByteArray> lines;
        forEachLine(bytes, [&](qsizetype index, QByteArrayView line) {
            EXPECT_EQ(index, lines.size());
            lines << line.toByteArray();
        });
        ASSERT_EQ(lines, splitLines(bytes)) << bytes.toPercentEncoding().constData();
    }
}

TEST(Readers, AmountsReadAsTheirDecimalText) {
    quint32 seed = 7;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 1103515245 + 12345;
        const QByteArray amount = QByteArray::number(seed % 100000000 / 1000.0, 'f', 3 + i % 4);
        QByteArray record = "050101|" + amount;
        record.replace('.', ',');
        EXPECT_EQ(monthlyTotals(ledger({record}), QStringLiteral("2005"))[0], amount.toDouble()) << record.constData();
    }
}

TEST(Readers, MatchAPlainReadingOfRandomLedgers) {
    // Records of two years with months and days in and out of range, widened amounts, both
    // separators and every kind of line end, read the simple way beside the readers.
    quint32 seed = 99;
    const auto next = [&seed](quint32 n) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 8) % n;
    };
    for (int round = 0; round < 40; ++round) {
        QByteArray bytes = header() + "\r\n";
        for (int i = 0; i < 200; ++i) {
            bytes += QByteArrayList{"\r\n", "\n", "\r"}.at(next(10) < 8 ? 0 : 1 + next(2));
            const QByteArray amount = QByteArray::number(next(12000000) / 1000.0, 'f', 3).rightJustified(8, '0');
            bytes += QByteArray::number(3 + next(2)).rightJustified(2, '0') + QByteArray::number(next(14)).rightJustified(2, '0') +
                     QByteArray::number(1 + next(28)).rightJustified(2, '0') + "|" +
                     QByteArray(amount).replace('.', next(2) ? ',' : '.');
        }
        std::array<double, 12> months{};
        std::array<double, 31> days{};
        double range = 0;
        const QList<QByteArray> lines = splitLines(bytes);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray &line = lines.at(i);
            const int yy = line.left(2).toInt(), mm = line.mid(2, 2).toInt(), dd = line.mid(4, 2).toInt();
            const double amount = QByteArray(line.mid(7)).replace(',', '.').toDouble();
            if (mm < 1 || mm > 12) continue;
            if (yy == 3) months[mm - 1] += amount;
            if (yy == 4 && mm == 2) days[dd - 1] = amount;
            if (QDate(2000 + yy, mm, dd) >= QDate(2003, 5, 10) && QDate(2000 + yy, mm, dd) <= QDate(2004, 2, 20)) range += amount;
        }
        const auto gotMonths = monthlyTotals(bytes, QStringLiteral("2003"));
        for (int m = 0; m < 12; ++m)
            EXPECT_NEAR(gotMonths[m], months[m], 1e-6);
        EXPECT_EQ(dayValues(bytes, 2004, 2), days);
        EXPECT_NEAR(rangeTotal(bytes, {2003, 5, 10}, {2004, 2, 20}), range, 1e-6);
    }
}

namespace {

// Ledgers of long runs of usual records, each run stirred now and then: a day outside the
// calendar, 29 February or a day no year has, a widened amount, a lone line end, a stray byte.
struct RunLedger {
    QByteArray bytes;
    qsizetype firstRecord = 0;
};

RunLedger runLedger(quint32 seed, int records, bool withImpossibleDays) {
    const auto next = [&seed](quint32 n) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 8) % n;
    };
    RunLedger l;
    l.bytes = header() + "\r\n\r\n";
    l.firstRecord = l.bytes.size();
    QDate day(2000 + int(next(90)), 1, 1);
    for (int i = 0; i < records; ++i, day = day.addDays(next(8) == 0 ? 0 : 1)) {
        QByteArray key = QByteArray::number((day.year() - 2000) * 10000 + day.month() * 100 + day.day()).rightJustified(6, '0');
        QByteArray amount = QByteArray::number(next(10000000) / 1000.0, 'f', 3).rightJustified(8, '0');
        QByteArray end = "\r\n";
        switch (next(160)) {
        case 0: key = "0300" + QByteArray::number(next(2) * 32).rightJustified(2, '0'); break; // day 0 or 32
        case 1: key.replace(2, 2, QByteArrayList{"00", "13", "19", "99"}.at(next(4))); break;
        case 2: key = QByteArray::number(next(25) * 4).rightJustified(2, '0') + "0229"; break; // leap years
        case 3:
            if (withImpossibleDays) key = QByteArrayList{"030229", "040230", "050431", "061131"}.at(next(4));
            break;
        case 4: amount = "12345,678"; break;
        case 5: end = QByteArrayList{"\n", "\r"}.at(next(2)); break;
        case 6: amount[next(8)] = "x9:/"[next(4)]; break;
        }
        if (next(2)) amount.replace('.', ',');
        l.bytes += key + "|" + amount + (i + 1 < records ? end : QByteArray());
    }
    return l;
}

// The key of a day as the readers compare it.
qint64 keyOf(const QDate &d) {
    return qint64(tarv::stats::scan::recordKey((d.toString(QStringLiteral("yyMMdd")) + "  ").toLatin1().constData()));
}

// What usualRuns() must do, the plain way: a run is taken or passed over whole when its 16
// lines all have the usual form and dates of every year (as in 2001), all inside the keys or
// all outside them.
qsizetype plainRuns(const QByteArray &bytes, qsizetype at, qint64 first, qint64 last, qint64 &thousandths) {
    for (; bytes.size() - at >= 272; at += 272) {
        qint64 sum = 0;
        int inside = 0;
        for (int r = 0; r < 16; ++r) {
            const QByteArray line = bytes.mid(at + 17 * r, 17);
            static const QRegularExpression usual(QStringLiteral("^[0-9]{6}\\|[0-9]{4}[.,][0-9]{3}\r\n$"));
            if (!usual.match(QString::fromLatin1(line)).hasMatch()) return at;
            if (!QDate(2001, line.mid(2, 2).toInt(), line.mid(4, 2).toInt()).isValid()) return at;
            const qint64 key = qint64(tarv::stats::scan::recordKey(line.constData()));
            inside += key >= first && key <= last;
            sum += line.mid(7, 4).toLongLong() * 1000 + line.mid(12, 3).toLongLong();
        }
        if (inside != 0 && inside != 16) return at;
        if (inside == 16) thousandths += sum;
    }
    return at;
}

} // namespace

namespace {

using Runs = qsizetype (*)(const char *, qsizetype, qsizetype, const tarv::stats::scan::KeySpan &,
                           tarv::stats::scan::RunSums &);

// The readers of runs this processor can use: sixteen bytes at a time always, thirty-two where
// the processor can.
std::vector<Runs> runReaders() {
    std::vector<Runs> readers{tarv::stats::scan::usualRuns16};
#if defined(TARV_SCAN_AVX2)
    if (tarv::stats::scan::hasAvx2()) readers.push_back(tarv::stats::scan::usualRuns32);
#endif
    return readers;
}

} // namespace

TEST(RangeRuns, TheLargestAmountsInManyRunsAddUpExactly) {
    QByteArray bytes;
    for (int i = 0; i < 64 * 16; ++i)
        bytes += "991231|9999,999\r\n";
    for (const Runs runs : runReaders()) {
        tarv::stats::scan::RunSums sums;
        EXPECT_EQ(runs(bytes.constData(), bytes.size(), 0, {0, std::numeric_limits<qint64>::max() - 1}, sums), bytes.size());
        sums.fold();
        EXPECT_EQ(sums.thousandths, 64 * 16 * qint64(9999999));
    }
}

TEST(RangeRuns, BothBlockWidthsTakeAndPassOverTheRunsAPlainReadingDoes) {
    using namespace tarv::stats::scan;
    for (quint32 round = 0; round < 60; ++round) {
        const RunLedger l = runLedger(round, 700, true);
        const char *data = l.bytes.constData();
        const qsizetype n = l.bytes.size();
        // Ranges that cut runs, hold every key or none, and the ends beyond every year.
        const QDate from = QDate(2000 + int(round * 7 % 100), 1 + int(round % 12), 1).addDays(round % 3 == 0 ? -40000 : 0);
        const QDate to = from.addDays(round % 4 == 0 ? 60000 : int(round * 37 % 900));
        const qint64 first = from.year() < 2000 ? 0 : keyOf(from);
        const qint64 last = to.year() > 2099 ? std::numeric_limits<qint64>::max() - 1 : keyOf(to);
        for (const Runs runs : runReaders()) {
            // Read as rangeTotal() does, a line the long way wherever the runs stop.
            RunSums sums;
            qint64 expected = 0;
            for (qsizetype at = l.firstRecord; at < n;) {
                const qsizetype stop = runs(data, n, at, {first, last}, sums);
                ASSERT_EQ(stop, plainRuns(l.bytes, at, first, last, expected)) << round << " at " << at;
                at = nextLine(data, n, lineEnd(data, n, stop));
            }
            sums.fold();
            EXPECT_EQ(sums.thousandths, expected) << round;
        }
    }
}
