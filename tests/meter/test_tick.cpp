#include "framework/errors.h"
#include "meterfixture.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::MeterRig;
using tarv::test::readFile;
using tarv::test::writeFile;

namespace {

QByteArray header(const QByteArray &text) {
    QByteArray h = text;
    h.append(100 - h.size(), ' ');
    return h;
}

// Ticks once a second from the rig's clock for the given number of seconds and returns the
// elapsed seconds at which a unit was charged.
QList<int> unitsOver(MeterRig &rig, int seconds) {
    QList<int> at;
    double last = rig.meter->s.connectionCost;
    for (int i = 0; i <= seconds; ++i) {
        rig.tickAfter(i == 0 ? 0 : 1000);
        if (rig.meter->s.connectionCost != last) {
            at << i;
            last = rig.meter->s.connectionCost;
        }
    }
    return at;
}

} // namespace

TEST(Tick, ZoneChangeAtTwentyTwoKeepsCountingFromTheStart) {
    MeterRig rig(QDateTime(QDate(2001, 3, 15), QTime(21, 50, 0)));
    rig.create();
    rig.dialup->setSingle(DialState::Connected, "modem");
    const QList<int> at = unitsOver(rig, 1700);
    EXPECT_EQ(at, (QList<int>{0, 270, 540, 1080, 1620}));
    EXPECT_EQ(rig.view.zone, QStringLiteral("Ζώνη: B"));
    EXPECT_EQ(rig.meter->s.connectionCost, 45);
    EXPECT_EQ(readFile(rig.ledgerPath()).right(8), QByteArray("0045,000"));
}

TEST(Tick, FirstTickChargesOneUnitAndShowsTheConnection) {
    MeterRig rig;
    rig.create();
    rig.view.calls.clear();
    rig.dialup->setSingle(DialState::Connected, "modem");
    rig.tickAfter(1000);
    const MeterState &s = rig.meter->s;
    EXPECT_TRUE(s.online);
    EXPECT_EQ(s.connectionCost, 9);
    EXPECT_EQ(rig.view.status, QStringLiteral("Σύνδεση: Ενεργή  (modem)"));
    EXPECT_EQ(rig.view.time, QStringLiteral("Χρόνος: 0h 0m 0s "));
    EXPECT_EQ(rig.view.zone, QStringLiteral("Ζώνη: A"));
    EXPECT_EQ(rig.view.cost, QStringLiteral("Κόστος: 9 Δρχ"));
    EXPECT_EQ(rig.view.today, QStringLiteral("Σήμερα: 9 Δρχ"));
    EXPECT_EQ(rig.view.tip, QStringLiteral("Σύνδεση: Ενεργή  (modem) (9 Δρχ)"));
    EXPECT_EQ(rig.view.lamp, (Rgb{0, 128, 0}));
    EXPECT_EQ(rig.view.calls, (QStringList{"stop", "lamp", "lines", "icon1", "online", "start"}));
    EXPECT_EQ(readFile(rig.ledgerPath()).right(15), QByteArray("010315|0009,000"));

    // Three units by 540 seconds; the one at 270 falls exactly there.
    rig.tickAfter(269000);
    EXPECT_EQ(s.connectionCost, 9);
    rig.tickAfter(1000);
    EXPECT_EQ(s.connectionCost, 18);
    rig.tickAfter(270000);
    EXPECT_EQ(s.connectionCost, 27);
    EXPECT_EQ(rig.view.time, QStringLiteral("Χρόνος: 0h 9m 0s "));

    // Disconnect: nothing written, the total stays on screen, the suffix goes.
    const QByteArray before = readFile(rig.ledgerPath());
    rig.view.calls.clear();
    rig.dialup->setSingle(-1);
    rig.tickAfter(1000);
    EXPECT_FALSE(s.online);
    EXPECT_TRUE(s.statusSuffix.isEmpty());
    EXPECT_EQ(rig.view.calls, (QStringList{"lines", "lamp", "icon0", "offline"}));
    EXPECT_EQ(rig.view.today, QStringLiteral("Σήμερα: 27 Δρχ"));
    EXPECT_EQ(rig.view.tip, QStringLiteral("Σύνδεση: Ανενεργή "));
    EXPECT_EQ(readFile(rig.ledgerPath()), before);
}

TEST(Tick, ALateTickChargesTheMultipleItMissedOnce) {
    MeterRig rig;
    rig.create();
    rig.dialup->setSingle(DialState::Connected);
    rig.tickAfter(0);
    rig.tickAfter(269000);
    rig.tickAfter(2000); // 271: the tick at 270 never came
    EXPECT_EQ(rig.meter->s.connectionCost, 18);
    rig.tickAfter(1000);
    EXPECT_EQ(rig.meter->s.connectionCost, 18);
    rig.tickAfter(268000); // 540
    EXPECT_EQ(rig.meter->s.connectionCost, 27);
}

TEST(Tick, FreeUnitsRewriteTheLedgerUntilTheFirstPeriodEnds) {
    MeterRig rig;
    writeFile(rig.ledgerPath(), header("8|22|3|3|0|Euro") + "\r\n\r\n010315|0000,000");
    rig.create();
    rig.dialup->setSingle(DialState::Connected);
    for (int i = 0; i < 5; ++i) rig.tickAfter(1000);
    // Seconds 0, 1 and 2 fall under the first-unit rule, 3 under the unit rule.
    EXPECT_EQ(rig.view.writes, 4);
    EXPECT_EQ(rig.view.cost, QStringLiteral("Κόστος: 0 Euro"));
}

TEST(Tick, MidnightRollsTheDayOverAtTheFirstChargeAfterIt) {
    MeterRig rig(QDateTime(QDate(2001, 3, 15), QTime(23, 59, 0)));
    rig.create();
    rig.dialup->setSingle(DialState::Connected);
    rig.tickAfter(0); // unit at 23:59:00 for the 15th
    rig.tickAfter(61000); // 00:00:01, 61 s: no unit due yet; the day line keeps the old total
    EXPECT_EQ(rig.view.today, QStringLiteral("Σήμερα: 9 Δρχ"));
    rig.tickAfter(479000); // 540 s in zone B: the first charge of the 16th
    const MeterState &s = rig.meter->s;
    EXPECT_EQ(s.currentDay, QDate(2001, 3, 16));
    EXPECT_EQ(s.connectionCost, 18);
    EXPECT_EQ(s.todayAccrued, 9);
    EXPECT_EQ(readFile(rig.ledgerPath()).right(32), QByteArray("010315|0009,000\r\n010316|0009,000"));

    // Offline after the next midnight: the day line reads 0 until the next charge.
    rig.dialup->setSingle(-1);
    rig.clock->set(QDateTime(QDate(2001, 3, 17), QTime(0, 5)));
    rig.meter->Timer1Timer();
    EXPECT_EQ(rig.view.today, QStringLiteral("Σήμερα: 0 Δρχ"));
}

TEST(Tick, AFailedRolloverStartsTheNewDayFromNothing) {
    MeterRig rig(QDateTime(QDate(2001, 3, 15), QTime(23, 59, 0)));
    writeFile(rig.ledgerPath(), header("8|22|270|540|9|Euro") + "\r\n\r\n010315|0100,000");
    rig.create();
    rig.dialup->setSingle(DialState::Connected);
    rig.tickAfter(0); // 109 on the 15th
    // The rollover's read fails (a header that no longer converts), then the ledger recovers.
    const QByteArray good = readFile(rig.ledgerPath());
    QByteArray bad = good;
    bad[5] = 'x';
    writeFile(rig.ledgerPath(), bad);
    EXPECT_THROW(rig.tickAfter(540000), EConvertError);
    writeFile(rig.ledgerPath(), good);
    rig.tickAfter(540000);
    // Both units of the 16th, and nothing of the 15th's total.
    EXPECT_TRUE(readFile(rig.ledgerPath()).endsWith("010315|0109,000\r\n010316|0018,000"));
}

TEST(Tick, ConnectionsLongerThanADayKeepCounting) {
    MeterRig rig(QDateTime(QDate(2001, 3, 15), QTime(0, 0, 0)));
    writeFile(rig.ledgerPath(), header("0|0|3600|3600|1|Euro") + "\r\n\r\n010315|0000,000");
    rig.create();
    rig.dialup->setSingle(DialState::Connected);
    rig.tickAfter(0);
    for (int h = 1; h <= 25; ++h) rig.tickAfter(3600000);
    EXPECT_EQ(rig.meter->s.connectionCost, 26);
    EXPECT_EQ(rig.view.time, QStringLiteral("Χρόνος: 25h 0m 0s "));
}

TEST(Tick, ProbeSuffixesFollowTheFirstConnectionOnly) {
    MeterRig rig;
    rig.create();
    rig.dialup->setSingle(DialState::ConnectDevice);
    rig.tickAfter(1000);
    EXPECT_EQ(rig.view.status, QStringLiteral("Σύνδεση: Ανενεργή  (Dialing ...)"));
    EXPECT_EQ(rig.view.tip, QStringLiteral("Σύνδεση: Ανενεργή "));
    rig.dialup->setSingle(-1); // an abandoned dial keeps its suffix
    rig.tickAfter(1000);
    EXPECT_EQ(rig.view.status, QStringLiteral("Σύνδεση: Ανενεργή  (Dialing ...)"));
    rig.dialup->setSingle(DialState::Authenticate);
    rig.tickAfter(1000);
    EXPECT_EQ(rig.view.status, QStringLiteral("Σύνδεση: Ανενεργή  (Verify User/Password ...)"));
    rig.dialup->setSingle(3); // a state between those named clears it
    rig.tickAfter(1000);
    EXPECT_EQ(rig.view.status, QStringLiteral("Σύνδεση: Ανενεργή "));

    // Only the first connection counts.
    rig.dialup->connections = {{"a", {DialState::Authenticate, "modem"}}, {"b", {DialState::Connected, "isdn"}}};
    rig.tickAfter(1000);
    EXPECT_FALSE(rig.meter->s.online);
    rig.dialup->connections = {{"a", {DialState::Connected, "ABCDEFGHIJKLMNOPQRSTU"}}, {"b", {0, ""}}};
    rig.tickAfter(1000);
    EXPECT_TRUE(rig.meter->s.online);
    EXPECT_EQ(rig.meter->s.statusSuffix, QStringLiteral(" (ABCDEFGHIJKLMNOPQ)"));
}

TEST(Tick, ALedgerErrorAtConnectLeavesTheTimerRunning) {
    MeterRig rig;
    rig.create();
    writeFile(rig.ledgerPath(), "8|22|x|540|9|Euro\r\n\r\n010315|0000,000");
    rig.dialup->setSingle(DialState::Connected);
    rig.clock->advance(1000);
    EXPECT_THROW(rig.meter->Timer1Timer(), EConvertError);
    EXPECT_TRUE(rig.view.timerRunning);
    EXPECT_FALSE(rig.meter->s.online);
}
