#include "limits/billingcycle.h"

#include <algorithm>

namespace tarv::limits {

QDate cycleStartIn(int year, int month, int cycleDay) {
    const QDate first(year, month, 1);
    return QDate(year, month, std::clamp(cycleDay, 1, first.daysInMonth()));
}

BillingCycle cycleOf(const QDate &day, int cycleDay) {
    QDate start = cycleStartIn(day.year(), day.month(), cycleDay);
    if (day < start) {
        const QDate previous = day.addMonths(-1);
        start = cycleStartIn(previous.year(), previous.month(), cycleDay);
    }
    const QDate next = QDate(start.year(), start.month(), 1).addMonths(1);
    return {start, cycleStartIn(next.year(), next.month(), cycleDay).addDays(-1)};
}

SpendFigures spendFigures(const BillingCycle &period, const QDate &today, double spent, double limit) {
    SpendFigures f;
    f.spent = spent;
    f.limit = std::max(0.0, limit);
    const int days = period.days();
    f.daysElapsed = std::clamp(int(period.start.daysTo(today)) + 1, 1, days);
    f.daysLeft = days - f.daysElapsed + 1;
    if (f.daysElapsed >= 2 || f.daysElapsed * 10 >= days) f.forecast = spent / f.daysElapsed * days;
    if (f.hasLimit()) f.leftPerDay = std::max(0.0, f.limit - spent) / f.daysLeft;
    return f;
}

bool levelReached(double spent, double limit, int level) {
    return limit > 0 && spent * 100.0 >= limit * level - 1e-6;
}

std::optional<int> levelDue(const QList<int> &levels, double limit, double spent, QList<int> &notified) {
    notified.removeIf([&](int level) { return !levelReached(spent, limit, level); });
    std::optional<int> due;
    for (const int level : levels) {
        if (!levelReached(spent, limit, level) || notified.contains(level)) continue;
        notified.append(level);
        due = std::max(due.value_or(level), level);
    }
    std::sort(notified.begin(), notified.end());
    return due;
}

} // namespace tarv::limits
