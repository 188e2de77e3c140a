// The live figures that `tarv --status` prints, taken from the meter's state.

#include "meter/meterstatus.h"

#include <gtest/gtest.h>

using namespace tarv;

TEST(MeterStatus, OnLineCountsTheConnectionOffLineAndAfterMidnightOnlyWhatIsShown) {
    MeterState s;
    s.currentDay = QDate(2003, 3, 15);
    s.connectionStart = QDateTime(s.currentDay, QTime(12, 0));
    s.connectionCost = 18;
    s.todayStored = 27;
    s.todayAccrued = 18;
    s.online = true;
    const QDateTime now(s.currentDay, QTime(12, 1, 5, 900));
    MeterStatus st = meterStatus(s, QStringLiteral("Σύνδεση: Ενεργή  (ppp)"), now);
    EXPECT_EQ(statusText(st), QStringLiteral("online | Σύνδεση: Ενεργή  (ppp) | 65 s | 18 Δρχ | Σήμερα: 45 Δρχ"));

    // The answer travels as json and reads back the same.
    MeterStatus back;
    ASSERT_TRUE(parseStatusJson(statusJson(st), back));
    EXPECT_EQ(statusText(back), statusText(st));
    EXPECT_FALSE(parseStatusJson("{\"online\":1}", back));

    // The bytes of the connection under way, past 4 GiB, only when they are known.
    st.received = 5'000'000'000ull;
    st.sent = 0;
    ASSERT_TRUE(parseStatusJson(statusJson(st), back));
    EXPECT_EQ(back.received, st.received);
    EXPECT_EQ(back.sent, st.sent);
    EXPECT_TRUE(statusText(back).endsWith(QStringLiteral(" | Λήψη: 5000000000 B, Αποστολή: 0 B")));
    st.received.reset();
    st.sent.reset();
    ASSERT_TRUE(parseStatusJson(statusJson(st), back));
    EXPECT_FALSE(back.received);

    s.online = false;
    st = meterStatus(s, QStringLiteral("Σύνδεση: Ανενεργή "), now.addDays(1));
    EXPECT_EQ(statusText(st), QStringLiteral("offline | Σύνδεση: Ανενεργή | 0 s | 0 Δρχ | Σήμερα: 0 Δρχ"));
}
