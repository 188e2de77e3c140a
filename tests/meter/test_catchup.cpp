#include "framework/errors.h"
#include "meterfixture.h"
#include "support/tempdir.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::MeterRig;
using tarv::test::readFile;

namespace {

// A connection that starts at `start` (default tariff: zone A 08-22 at 270 s, zone B at 540 s,
// 9 a unit) and whose ticks come after the given gaps, in seconds.
struct LateTicks {
    const char *name;
    QTime start;
    QList<int> gaps;
    double cost;            // the connection's cost after the last tick
    QByteArray ledgerEnd;   // the end of the ledger then
};

const LateTicks kLateTicks[] = {
    {"StoppedAcrossTwoUnits", QTime(12, 0), {100, 500}, 27, "010315|0027,000"},
    {"BackExactlyAtTheSecondUnit", QTime(12, 0), {540}, 27, "010315|0027,000"},
    // Zone A's units at 270 and 540, then zone B's at 1080 and 1620, as ticks each second charge.
    {"AcrossTheZoneChange", QTime(21, 50), {1800}, 45, "010315|0045,000"},
    // Zone B from 23:50: the unit at 23:59:00 belongs to the 15th, the one at 00:08:00 to the 16th.
    {"AcrossMidnight", QTime(23, 50), {1200}, 27, "010315|0018,000\r\n010316|0009,000"},
    // Late on both sides of midnight: 23:59:00 to the 15th, 00:08:00 and 00:17:00 to the 16th.
    {"LateTwiceAcrossMidnight", QTime(23, 50), {300, 1560}, 36, "010315|0018,000\r\n010316|0018,000"},
};

void PrintTo(const LateTicks &c, std::ostream *os) { *os << c.name; }

class LateTick : public ::testing::TestWithParam<LateTicks> {};

} // namespace

TEST_P(LateTick, ChargesEveryUnitDueOnItsOwnDay) {
    const LateTicks &c = GetParam();
    MeterRig rig(QDateTime(QDate(2001, 3, 15), c.start));
    rig.create();
    rig.dialup->setSingle(DialState::Connected);
    rig.tickAfter(0);
    for (int gap : c.gaps) rig.tickAfter(gap * 1000LL);
    EXPECT_EQ(rig.meter->s.connectionCost, c.cost);
    EXPECT_TRUE(readFile(rig.ledgerPath()).endsWith(c.ledgerEnd)) << readFile(rig.ledgerPath()).constData();
}

INSTANTIATE_TEST_SUITE_P(Tick, LateTick, ::testing::ValuesIn(kLateTicks),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Tick, AClockSetBackChargesNoSecondTwice) {
    MeterRig rig;
    rig.create();
    rig.dialup->setSingle(DialState::Connected);
    rig.tickAfter(0);
    rig.tickAfter(600000); // 270 and 540
    EXPECT_EQ(rig.meter->s.connectionCost, 27);
    rig.clock->advance(-600000);
    for (int i = 0; i < 809; ++i) rig.tickAfter(1000); // seconds 1 to 809 again: nothing new
    EXPECT_EQ(rig.meter->s.connectionCost, 27);
    rig.tickAfter(1000); // 810
    EXPECT_EQ(rig.meter->s.connectionCost, 36);
}

TEST(Tick, AClockSetForwardChargesOnlyTheTimeThatReallyPassed) {
    MeterRig rig;
    rig.create();
    rig.dialup->setSingle(DialState::Connected);
    rig.tickAfter(0);
    // A time sync moves the clock an hour on: thirteen multiples of 270 pass in no time at all.
    rig.clock->set(rig.clock->now().addSecs(3600));
    rig.tickAfter(1000);
    EXPECT_EQ(rig.meter->s.connectionCost, 9);
    rig.tickAfter(179000); // a real stall across 3780, the next multiple
    EXPECT_EQ(rig.meter->s.connectionCost, 18);
}

TEST(Tick, AWriteThatFailsInACatchUpLosesNoUnitAndRepeatsNone) {
    MeterRig rig(QDateTime(QDate(2001, 3, 15), QTime(23, 50)));
    rig.create();
    rig.dialup->setSingle(DialState::Connected);
    rig.tickAfter(0);
    const QByteArray ledger = readFile(rig.ledgerPath());
    QFile::remove(rig.ledgerPath());
    // The 15th's unit at 23:59:00 is counted but cannot be written; the 16th's waits.
    EXPECT_THROW(rig.tickAfter(1200000), EInOutError);
    EXPECT_EQ(rig.meter->s.connectionCost, 18);
    tarv::test::writeFile(rig.ledgerPath(), ledger);
    rig.tickAfter(1000); // 00:10:01: the 16th's unit at 00:08:00
    EXPECT_EQ(rig.meter->s.connectionCost, 27);
    EXPECT_TRUE(readFile(rig.ledgerPath()).endsWith("010315|0009,000\r\n010316|0009,000"));
    rig.tickAfter(1000);
    EXPECT_EQ(rig.meter->s.connectionCost, 27);
}
