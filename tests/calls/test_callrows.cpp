#include "calls/calljournal.h"
#include "calls/callrow.h"
#include "calls/traffic.h"
#include "meter/ledger.h"
#include "support/tempdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <cstring>
#include <random>

using namespace tarv::calls;
using tarv::test::readFile;
using tarv::test::writeFile;

namespace {

std::optional<Counters> at(quint64 rx, quint64 tx) {
    return Counters{rx, tx};
}

const std::optional<Counters> gone;

} // namespace

TEST(Traffic, NeverTakesACounterThatDropsOrAnInterfaceThatReturnsForAnOverflow) {
    constexpr quint64 kGiB = 1024ull * 1024 * 1024;
    struct Case {
        const char *what;
        QList<std::optional<Counters>> readings;
        quint64 received, sent;
    };
    const QList<Case> cases{
        {"plain growth", {at(100, 10), at(150, 30), at(400, 31)}, 300, 21},
        {"a counter that drops starts a new base", {at(1000, 500), at(1500, 700), at(20, 5), at(70, 15)}, 550, 210},
        // The counters of a link restart together, so either one dropping starts both anew.
        {"only one counter drops", {at(100, 100), at(200, 50), at(260, 90)}, 60, 40},
        {"an interface that goes and comes back", {at(0, 0), at(300, 30), gone, gone, at(5000, 900), at(5100, 950)},
         400, 80},
        {"past 4 GiB in 64-bit counters", {at(3 * kGiB, 0), at(5 * kGiB, kGiB), at(9 * kGiB, 6 * kGiB)}, 6 * kGiB,
         6 * kGiB},
        {"no reading at all", {gone, gone}, 0, 0},
    };
    for (const Case &c : cases) {
        TrafficTotal total;
        for (const auto &r : c.readings) total.sample(r);
        EXPECT_EQ(total.received(), c.received) << c.what;
        EXPECT_EQ(total.sentBytes(), c.sent) << c.what;
    }
}

TEST(Traffic, AddsUpWrapping32BitCountersIn64Bits) {
    Wrapping32Total total;
    total.add(100);
    total.add(0xFFFFFF00u);
    total.add(0x10u); // wrapped once: 0x100 + 0x10 more
    EXPECT_EQ(total.total(), 0xFFFFFF00ull + 0x110ull);
    // Many wraps add up far past 4 GiB.
    for (int i = 0; i < 6; ++i) {
        total.add(0x80000010u);
        total.add(0x10u);
    }
    EXPECT_EQ(total.total(), 0xFFFFFF00ull + 0x110ull + 6ull * 0x100000000ull);
}

TEST(Traffic, ReadsSysfsCountersAndRefusesNamesThatLeaveTheFolder) {
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("class/net/ppp0/statistics"));
    writeFile(root.filePath(QStringLiteral("class/net/ppp0/statistics/rx_bytes")), "6000000000\n");
    writeFile(root.filePath(QStringLiteral("class/net/ppp0/statistics/tx_bytes")), "42\n");
    SysfsTrafficSource source(root.path());
    const auto c = source.read(QStringLiteral("ppp0"));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->received, 6000000000ull);
    EXPECT_EQ(c->sent, 42u);
    for (const char *bad : {"ppp1", "", "..", "../net/ppp0", "ppp0/../ppp0"})
        EXPECT_FALSE(source.read(QString::fromLatin1(bad))) << bad;
}

TEST(CallRow, WritesAndReadsBackEveryColumn) {
    CallRow row;
    row.start = QDateTime(QDate(2001, 3, 15), QTime(23, 50), Qt::OffsetFromUTC, 7200);
    row.end = row.start.addSecs(600);
    row.units = 3;
    row.cost = 27.5;
    row.currency = QStringLiteral("Δρχ");
    row.unitsA = 1;
    row.unitsB = 2;
    row.name = QStringLiteral("My \"ISP\", dial");
    row.deviceType = QStringLiteral("modem");
    row.received = 5ull * 1024 * 1024 * 1024;
    row.state = CallRow::State::Interrupted;
    const QByteArray line = csvLine(row);
    EXPECT_TRUE(line.startsWith("2001-03-15T23:50:00+02:00,2001-03-16T00:00:00+02:00,600,3,27.5,Δρχ,1,2,"
                                "\"My \"\"ISP\"\", dial\",modem,5368709120,,interrupted"))
        << line.constData();
    const auto back = parseCsvLine(line);
    ASSERT_TRUE(back);
    EXPECT_EQ(csvLine(*back), line);
    EXPECT_FALSE(back->sent);
    EXPECT_FALSE(parseCsvLine(csvHeader()));
    EXPECT_FALSE(parseCsvLine(line.left(line.size() - 3)));
}

// The reader takes the digits the log writes by hand; every other form of a number must still be
// read, or refused, as Qt's parser decides, and a damaged line still refused whole.
TEST(CallRow, ReadsOrRefusesEachFieldsOtherFormsAsQtsParsersDo) {
    const QByteArray times = "2001-03-15T10:00:00+02:00,2001-03-15T10:09:00+02:00,540,";
    struct Case {
        const char *rest; // the fields from the units on
        bool reads;
        int units = 0;
        double cost = 0;
        std::optional<quint64> received = std::nullopt;
    };
    const QList<Case> cases{
        {"2,18,Δρχ,2,0,P,modem,5,1,finished", true, 2, 18, 5},
        {" 2 ,18,Δρχ,2,0,P,modem,,1,finished", true, 2, 18},
        {"+2,+18,Δρχ,2,0,P,modem,+5,1,finished", true, 2, 18, 5},
        {"-2,-18.25,Δρχ,2,0,P,modem,,,finished", true, -2, -18.25},
        {"007,0012.50,Δρχ,2,0,P,modem,007,,finished", true, 7, 12.5, 7},
        {"2,1e3,Δρχ,2,0,P,modem,,,finished", true, 2, 1000},
        {"2,.5,Δρχ,2,0,P,modem,,,finished", true, 2, 0.5},
        {"2,12.,Δρχ,2,0,P,modem,,,finished", true, 2, 12},
        {"2147483647,1,x,0,0,P,m,18446744073709551615,,finished", true, 2147483647, 1, 18446744073709551615ull},
        {"-2147483648,1,x,0,0,P,m,,,finished", true, -2147483647 - 1, 1},
        {"2147483648,1,x,0,0,P,m,,,finished", false},
        {"2,1,x,0,0,P,m,18446744073709551616,,finished", false},
        {"2,1,x,0,0,P,m,-1,,finished", false},
        {"2,18,Δρχ,2,0,P,modem,٣,1,finished", false},
        {"٣,18,Δρχ,2,0,P,modem,,,finished", false},
        {",18,Δρχ,2,0,P,modem,,,finished", false},
        {"2,,Δρχ,2,0,P,modem,,,finished", false},
        {"2,-,Δρχ,2,0,P,modem,,,finished", false},
        {"2,1.2.3,Δρχ,2,0,P,modem,,,finished", false},
        {"2,18,Δρχ,2,0,P,modem,,,done", false},
        {"2,18,Δρχ,2,0,P,modem,,,finished,", false},
        {"2,18,Δρχ,2,0,P,modem,,finished", false},
        {"2,nan,Δρχ,2,0,P,modem,,,finished", false},
        {"2,-inf,Δρχ,2,0,P,modem,,,finished", false},
    };
    // Offsets past a clock's hours and minutes (they would be written back in another form).
    for (const char *offset : {"+02:60", "+24:00", "-99:99"})
        EXPECT_FALSE(parseCsvLine("2001-03-15T10:00:00" + QByteArray(offset) + ",2001-03-15T10:09:00+02:00,540,"
                                  "2,18,Δρχ,2,0,P,modem,,,finished"))
            << offset;
    EXPECT_TRUE(parseCsvLine("2001-03-15T10:00:00+14:00,2001-03-15T10:09:00-12:00,540,2,18,x,2,0,P,m,,,finished"));
    // Milliseconds, which the log never writes, are let go: the row is written back as it reads.
    const std::optional<CallRow> ms =
        parseCsvLine("2001-03-15T10:00:00.700+02:00,2001-03-15T10:09:00.200+02:00,540,2,18,x,2,0,P,m,,,finished");
    ASSERT_TRUE(ms);
    EXPECT_EQ(ms->seconds(), 540);
    EXPECT_EQ(parseCsvLine(csvLine(*ms))->start, ms->start);
    for (const Case &c : cases) {
        const std::optional<CallRow> row = parseCsvLine(times + c.rest);
        ASSERT_EQ(row.has_value(), c.reads) << c.rest;
        if (!row) continue;
        EXPECT_EQ(row->units, c.units) << c.rest;
        EXPECT_EQ(row->cost, c.cost) << c.rest;
        EXPECT_EQ(row->received, c.received) << c.rest;
    }

    // Costs of up to fifteen digits, read by hand, come to the very double Qt's parser finds;
    // longer ones are Qt's own.
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        QByteArray digits = QByteArray::number(random() % 10'000'000'000'000'000ull);
        digits = digits.left(1 + int(random() % 17));
        const int point = int(random() % (digits.size() + 1));
        const QByteArray cost = point == digits.size() ? digits : digits.left(point + 1) + '.' + digits.mid(point + 1);
        const std::optional<CallRow> row = parseCsvLine(times + "1," + cost + ",x,1,0,P,m,,,finished");
        ASSERT_TRUE(row) << cost.constData();
        const double expected = QString::fromLatin1(cost).toDouble();
        EXPECT_EQ(std::memcmp(&row->cost, &expected, sizeof expected), 0) << cost.constData();
    }
}

TEST(CallRow, SplitsQuotedFieldsAndKeepsEachRowsOwnTexts) {
    const QByteArray times = "2001-03-15T10:00:00+02:00,2001-03-15T10:09:00+02:00,540,1,9,";
    struct Case {
        const char *rest; // the fields from the currency on
        const char *name; // nullptr: refused
    };
    const QList<Case> cases{
        {"x,1,0,\"A, \"\"B\"\"\",modem,,,finished", "A, \"B\""},
        {"x,1,0,A\"\"B,modem,,,finished", "AB"},
        {"x,1,0,A\",\"B,modem,,,finished", "A,B"},
        {"x,1,0,\"\",modem,,,finished", ""},
        {"x,1,0,\"A,modem,,,finished", nullptr},
        {"x,1,0,\"\"\",modem,,,finished", nullptr},
        {"x,1,0,A,B,modem,,,finished", nullptr},
        {"\"x,1,0,A,modem,,,finished\"", nullptr},
    };
    for (const Case &c : cases) {
        const std::optional<CallRow> row = parseCsvLine(times + c.rest);
        ASSERT_EQ(row.has_value(), c.name != nullptr) << c.rest;
        if (row) {
            EXPECT_EQ(row->name, QString::fromUtf8(c.name)) << c.rest;
        }
    }

    // One reader over rows whose texts change from one to the next gives each row its own.
    CsvReader reader;
    const QList<QByteArray> names{"A", "A", "\"A\"", "B", "", "B", "A"};
    for (const QByteArray &name : names) {
        const std::optional<CallRow> row = reader.read(times + "Δρχ,1,0," + name + ",modem,,,finished");
        ASSERT_TRUE(row);
        EXPECT_EQ(row->name, QString::fromLatin1(name).remove(QLatin1Char('"')));
        EXPECT_EQ(row->currency, QStringLiteral("Δρχ"));
        EXPECT_EQ(row->deviceType, QStringLiteral("modem"));
    }
}

// Times with a fixed offset are written from their milliseconds and read back into them by hand;
// they must come out as Qt tells their date and time, before 1970 and far from it, on either side
// of UTC and of midnight, and read back as the same moment.
TEST(CallRow, WritesTimesOfEveryOffsetAndEraAsQtTellsThem) {
    const auto expected = [](const QDateTime &t) {
        const int minutes = std::abs(t.offsetFromUtc()) / 60;
        return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + QLatin1Char(t.offsetFromUtc() < 0 ? '-' : '+') +
               QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
    };
    std::mt19937_64 random(5);
    const qint64 first = QDateTime(QDate(1, 1, 2), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    const qint64 last = QDateTime(QDate(9999, 12, 30), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    QList<QDateTime> times{QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC),
                           QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 999), Qt::OffsetFromUTC, -3600),
                           QDateTime(QDate(2000, 2, 29), QTime(23, 59, 59), Qt::OffsetFromUTC, 14 * 3600),
                           QDateTime(QDate(1900, 3, 1), QTime(0, 0), Qt::OffsetFromUTC, -12 * 3600),
                           QDateTime(QDate(1, 1, 1), QTime(12, 0), Qt::OffsetFromUTC, 3600),
                           QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::OffsetFromUTC, 7200),
                           QDateTime(QDate(2001, 3, 15), QTime(10, 0), Qt::LocalTime)};
    for (int i = 0; i < 20000; ++i) {
        const qint64 ms = first + qint64(random() % quint64(last - first));
        const int offset = (int(random() % (28 * 4 + 1)) - 14 * 4) * 15 * 60;
        times << QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset);
    }
    for (const QDateTime &t : times) {
        ASSERT_TRUE(t.isValid());
        EXPECT_EQ(isoLocal(t), expected(t)) << t.toMSecsSinceEpoch() << " " << t.offsetFromUtc();
        // Read back, the time is the same moment with the same offset, to the second.
        const QByteArray iso = isoLocal(t).toLatin1();
        const std::optional<CallRow> row = parseCsvLine(iso + ',' + iso + ",0,1,9,x,1,0,P,m,,,finished");
        ASSERT_TRUE(row) << iso.constData();
        const qint64 ms = t.toMSecsSinceEpoch();
        const qint64 second = ms / 1000 - (ms % 1000 < 0 ? 1 : 0); // the second it falls in
        EXPECT_EQ(row->start.toMSecsSinceEpoch(), second * 1000) << iso.constData();
        EXPECT_EQ(row->start.offsetFromUtc(), t.offsetFromUtc()) << iso.constData();
    }
}

TEST(CallJournal, AFileCutAtAnyByteOfTheLastUpdateStillGivesAWholeRow) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calls.open"));
    tarv::setDiskSync(false);
    CallJournal journal(path);
    journal.write({10, "first,row\n"});
    const QByteArray before = readFile(path);
    journal.write({10, "second,row\n"});
    const QByteArray after = readFile(path);
    ASSERT_EQ(journal.read()->text, "second,row\n");
    // A write cut short leaves the bytes of the slot it wrote partly new: the file holds either
    // update whole, never a mixture.
    for (qsizetype cut = 0; cut <= after.size(); cut += cut < 4096 + 128 && cut > 4096 - 128 ? 1 : 61) {
        QByteArray torn = after.left(cut) + before.mid(cut);
        writeFile(path, torn);
        const auto entry = CallJournal(path).read();
        ASSERT_TRUE(entry) << cut;
        EXPECT_TRUE(entry->text == "first,row\n" || entry->text == "second,row\n") << cut;
        writeFile(path, after.left(cut));
        const auto truncated = CallJournal(path).read();
        if (truncated) {
            EXPECT_TRUE(truncated->text == "first,row\n" || truncated->text == "second,row\n") << cut;
        }
    }
    tarv::setDiskSync(true);
}

TEST(CallJournal, ApplyingAnEntryReplacesAPartialAppendAndNeverDoublesARow) {
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("calls.csv"));
    const qint64 offset = prepareCsv(csv);
    const QByteArray head = readFile(csv);
    const QByteArray rows = "a,1\nb,2\n";
    for (qsizetype cut = 0; cut <= rows.size(); ++cut) {
        writeFile(csv, head + rows.left(cut));
        EXPECT_EQ(applyEntry(csv, {offset, rows}), offset + rows.size());
        EXPECT_EQ(readFile(csv), head + rows) << cut;
    }
    // Bytes that are not the entry's (the file was edited meanwhile) are kept; the rows follow.
    writeFile(csv, head + "edited");
    applyEntry(csv, {offset, rows});
    EXPECT_EQ(readFile(csv), head + "edited\n" + rows);
}
