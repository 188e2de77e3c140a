#include "calls/calljournal.h"
#include "calls/callrow.h"
#include "calls/traffic.h"
#include "meter/ledger.h"
#include "support/tempdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

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
