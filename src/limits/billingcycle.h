#pragma once

#include <QDate>
#include <QList>
#include <optional>

namespace tarv::limits {

// The days a bill covers: from its first day to its last, both included.
struct BillingCycle {
    QDate start;
    QDate end;
    int days() const { return int(start.daysTo(end)) + 1; }
    bool operator==(const BillingCycle &o) const { return start == o.start && end == o.end; }
};

// The first day of the cycle that begins in a month: the cycle day, or the month's last day
// when the month is shorter (a cycle day of 31 begins on 30 April and on 28 or 29 February).
QDate cycleStartIn(int year, int month, int cycleDay);

// The cycle that holds day, for a cycle day of 1..31 (a value outside is taken as the nearest).
BillingCycle cycleOf(const QDate &day, int cycleDay);

// Where a limit stands on a day of its period, with what the ledger says has been spent so far.
struct SpendFigures {
    double spent = 0;
    double limit = 0;                   // 0: no limit
    int daysElapsed = 0;                // days of the period up to and including today
    int daysLeft = 0;                   // days from today to the period's end, both included
    std::optional<double> forecast;     // the straight-line total at the period's end
    std::optional<double> leftPerDay;   // what may still be spent on each remaining day

    bool hasLimit() const { return limit > 0; }
    // The spend as a percentage of the limit (0 without a limit).
    double share() const { return hasLimit() ? spent * 100.0 / limit : 0; }
};

// The figures of a period on today. A forecast is given only once two days or a tenth of the
// period have passed, since a forecast from a single day says more about that day than about
// the month; the daily budget only where there is a limit.
SpendFigures spendFigures(const BillingCycle &period, const QDate &today, double spent, double limit);

// Whether spent has reached level per cent of limit. Amounts are held to thousandths, so a
// spend within a millionth of the level counts as having reached it.
bool levelReached(double spent, double limit, int level);

// The warning due after a charge. Levels already notified that spent no longer reaches (the
// limit was raised) are re-armed, that is dropped from notified. Of the levels reached and not
// yet notified, all are marked notified and the highest is returned: a single charge that
// passes two levels brings one notification, the one that matters. Nothing without a limit.
std::optional<int> levelDue(const QList<int> &levels, double limit, double spent, QList<int> &notified);

} // namespace tarv::limits
