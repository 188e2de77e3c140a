#include "limits/billingcycle.h"
#include "limits/limitscheck.h"

#include <QDate>
#include <gtest/gtest.h>

using namespace tarv::limits;

namespace {

QDate d(const char *iso) {
    return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

QByteArray ledger(const QList<QByteArray> &records) {
    QByteArray bytes = QByteArray("8|22|270|540|9|Euro").leftJustified(100, ' ') + "\r\n";
    for (const QByteArray &r : records) bytes += "\r\n" + r;
    return bytes;
}

} // namespace

struct CycleCase {
    const char *day;
    int cycleDay;
    const char *start;
    const char *end;
};

class CycleTable : public ::testing::TestWithParam<CycleCase> {};

TEST_P(CycleTable, HoldsTheDayBetweenTheStartsOfTwoMonths) {
    const CycleCase c = GetParam();
    const BillingCycle cycle = cycleOf(d(c.day), c.cycleDay);
    EXPECT_EQ(cycle.start, d(c.start)) << c.day << " day " << c.cycleDay;
    EXPECT_EQ(cycle.end, d(c.end)) << c.day << " day " << c.cycleDay;
    EXPECT_TRUE(cycle.start <= d(c.day) && d(c.day) <= cycle.end);
}

INSTANTIATE_TEST_SUITE_P(
    Days28To31, CycleTable,
    ::testing::Values(
        // A leap February starts a cycle day of 29, 30 or 31 on its 29th, another on its 28th.
        CycleCase{"2024-02-29", 31, "2024-02-29", "2024-03-30"}, CycleCase{"2024-02-28", 31, "2024-01-31", "2024-02-28"},
        CycleCase{"2023-02-28", 31, "2023-02-28", "2023-03-30"}, CycleCase{"2023-02-27", 30, "2023-01-30", "2023-02-27"},
        CycleCase{"2023-03-01", 29, "2023-02-28", "2023-03-28"}, CycleCase{"2024-03-01", 29, "2024-02-29", "2024-03-28"},
        CycleCase{"2100-02-28", 29, "2100-02-28", "2100-03-28"}, CycleCase{"2000-02-29", 30, "2000-02-29", "2000-03-29"},
        CycleCase{"2023-02-28", 28, "2023-02-28", "2023-03-27"},
        // April has 30 days: a cycle day of 31 starts on the 30th, and the cycle before ends on the 29th.
        CycleCase{"2026-04-29", 31, "2026-03-31", "2026-04-29"}, CycleCase{"2026-04-30", 31, "2026-04-30", "2026-05-30"},
        CycleCase{"2026-05-31", 31, "2026-05-31", "2026-06-29"},
        // Across the year's end.
        CycleCase{"2026-12-31", 31, "2026-12-31", "2027-01-30"}, CycleCase{"2027-01-05", 15, "2026-12-15", "2027-01-14"},
        CycleCase{"2026-12-31", 1, "2026-12-01", "2026-12-31"}, CycleCase{"2027-01-01", 1, "2027-01-01", "2027-01-31"},
        CycleCase{"2027-01-30", 31, "2026-12-31", "2027-01-30"}));

TEST(Cycle, ConsecutiveCyclesCoverEveryDayOnceForEveryCycleDay) {
    for (int cycleDay = 1; cycleDay <= 31; ++cycleDay) {
        BillingCycle previous = cycleOf(d("2023-11-20"), cycleDay);
        for (QDate day = d("2023-11-20"); day < d("2025-03-10"); day = day.addDays(1)) {
            const BillingCycle c = cycleOf(day, cycleDay);
            if (c == previous) continue;
            ASSERT_EQ(c.start, previous.end.addDays(1)) << day.toString(Qt::ISODate).toStdString() << " " << cycleDay;
            ASSERT_GE(c.days(), 28);
            ASSERT_LE(c.days(), 31);
            previous = c;
        }
    }
}

TEST(Cycle, ChangingTheCycleDayRecomputesPastCyclesFromTheLedger) {
    const QByteArray bytes = ledger({"260110|0010,000", "260120|0020,000", "260205|0005,000", "260215|0001,000"});
    LimitSettings s;
    s.monthly = 100;
    s.cycleDay = 1;
    EXPECT_DOUBLE_EQ(cycleFigures(bytes, s, d("2026-01-31"), "Euro").month.spent, 30);
    s.cycleDay = 15;
    EXPECT_DOUBLE_EQ(cycleFigures(bytes, s, d("2026-01-31"), "Euro").month.spent, 20);
    EXPECT_DOUBLE_EQ(cycleFigures(bytes, s, d("2026-02-10"), "Euro").month.spent, 25);
    s.cycleDay = 31;
    // 31 January to 27 February: the short month's cycle starts on the 28th.
    EXPECT_DOUBLE_EQ(cycleFigures(bytes, s, d("2026-02-27"), "Euro").month.spent, 6);
    EXPECT_DOUBLE_EQ(cycleFigures(bytes, s, d("2026-01-30"), "Euro").month.spent, 30);
    EXPECT_DOUBLE_EQ(cycleFigures(bytes, s, d("2026-02-28"), "Euro").month.spent, 0);
}

struct FiguresCase {
    const char *today;
    double spent;
    double limit;
    std::optional<double> forecast;
    std::optional<double> leftPerDay;
};

class FiguresTable : public ::testing::TestWithParam<FiguresCase> {};

TEST_P(FiguresTable, ForecastOnlyAfterTwoDaysAndBudgetPerRemainingDay) {
    const FiguresCase c = GetParam();
    const SpendFigures f = spendFigures({d("2026-04-01"), d("2026-04-30")}, d(c.today), c.spent, c.limit);
    ASSERT_EQ(f.forecast.has_value(), c.forecast.has_value()) << c.today;
    if (c.forecast) {
        EXPECT_NEAR(*f.forecast, *c.forecast, 1e-9);
    }
    ASSERT_EQ(f.leftPerDay.has_value(), c.leftPerDay.has_value());
    if (c.leftPerDay) {
        EXPECT_NEAR(*f.leftPerDay, *c.leftPerDay, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    April, FiguresTable,
    ::testing::Values(FiguresCase{"2026-04-01", 50, 300, std::nullopt, 250.0 / 30},
                      FiguresCase{"2026-04-02", 20, 300, 300, 280.0 / 29},
                      FiguresCase{"2026-04-30", 290, 300, 290, 10},
                      FiguresCase{"2026-04-15", 400, 300, 800, 0},
                      FiguresCase{"2026-04-10", 100, 0, 300, std::nullopt}));

struct LevelCase {
    QList<int> notifiedBefore;
    double limit;
    double spent;
    std::optional<int> due;
    QList<int> notifiedAfter;
};

class LevelTable : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelTable, OneNotificationPerLevelAndRaisingTheLimitReArms) {
    LevelCase c = GetParam();
    EXPECT_EQ(levelDue({50, 80, 100}, c.limit, c.spent, c.notifiedBefore), c.due);
    EXPECT_EQ(c.notifiedBefore, c.notifiedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, LevelTable,
    ::testing::Values(LevelCase{{}, 100, 49.999, std::nullopt, {}},
                      LevelCase{{}, 100, 50, 50, {50}},                  // to the level counts
                      LevelCase{{50}, 100, 60, std::nullopt, {50}},      // never twice
                      LevelCase{{}, 100, 85, 80, {50, 80}},              // one charge, two levels: the higher
                      LevelCase{{50, 80, 100}, 100, 130, std::nullopt, {50, 80, 100}},
                      LevelCase{{50, 80, 100}, 200, 130, std::nullopt, {50}}, // raised: 80 and 100 re-armed
                      LevelCase{{50}, 200, 165, 80, {50, 80}},
                      LevelCase{{}, 0, 1000, std::nullopt, {}}));

TEST(Check, ExitStatusIsTheHighestThatApplies) {
    LimitSettings s;
    s.monthly = 100;
    const struct {
        QByteArray record;
        const char *today;
        int status;
    } cases[] = {
        {"260401|0010,000", "2026-04-01", 0},              // one day: no forecast yet
        {"260401|0010,000", "2026-04-30", 0},
        {"260401|0010,000", "2026-04-03", 0},              // 10 in 3 days: 100 by the 30th, not past it
        {"260401|0011,000", "2026-04-03", CheckForecast},
        {"260402|0050,000", "2026-04-29", CheckWarning},
        {"260402|0100,000", "2026-04-29", CheckLimit},
    };
    for (const auto &c : cases)
        EXPECT_EQ(checkStatus(cycleFigures(ledger({c.record}), s, d(c.today), "Euro"), s), c.status) << c.today;
    s.monthly = 0;
    s.daily = 10;
    EXPECT_EQ(checkStatus(cycleFigures(ledger({"260402|0008,000"}), s, d("2026-04-02"), "Euro"), s), CheckWarning);
    EXPECT_EQ(checkStatus(cycleFigures(ledger({"260402|0008,000"}), s, d("2026-04-03"), "Euro"), s), 0);
}
