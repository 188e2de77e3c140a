#include "meter/dueunits.h"

#include <algorithm>

namespace tarv {

bool isZoneB(const MeterState &s, int hour) { return hour < s.zoneAFrom || hour >= s.zoneATo; }

qint64 unitSecondsAt(const MeterState &s, int hour) {
    return std::max(1, isZoneB(s, hour) ? s.zoneBSeconds : s.zoneASeconds);
}

namespace {

// The moment after `at` at which the zone or the day changes: the next hour whose zone differs
// from the zone at `at`, or the next midnight. Set through setDate and setTime, so that it keeps
// the clock's time zone setting.
QDateTime stretchEnd(const MeterState &s, const QDateTime &at) {
    QDateTime end = at;
    const int hour = at.time().hour();
    for (int h = hour + 1; h < 24; ++h) {
        if (isZoneB(s, h) != isZoneB(s, hour)) {
            end.setTime(QTime(h, 0));
            return end;
        }
    }
    end.setDate(at.date().addDays(1));
    end.setTime(QTime(0, 0));
    return end;
}

} // namespace

QList<DueUnits> dueUnits(const MeterState &tariff, const QDateTime &now, qint64 from, qint64 to) {
    QList<DueUnits> due;
    // Second 0 starts the connection; only the first-unit rule charges there.
    qint64 second = std::max<qint64>(from, 1);
    while (second <= to) {
        // The seconds from here to the end of the stretch share one zone and one day.
        const QDateTime at = now.addSecs(second - to);
        const qint64 msToEnd = at.msecsTo(stretchEnd(tariff, at));
        // At least one second a step, whatever a time-zone change makes of the stretch's end.
        const qint64 span = std::max<qint64>(1, (msToEnd + 999) / 1000);
        const qint64 last = std::min(to, second + span - 1);
        const qint64 unit = unitSecondsAt(tariff, at.time().hour());
        const qint64 first = (second + unit - 1) / unit * unit;
        if (first <= last) {
            const qint64 count = (last - first) / unit + 1;
            const qint64 lastDue = first + (count - 1) * unit;
            if (due.isEmpty() || due.last().day != at.date()) due.append(DueUnits{at.date(), 0, 0, 0});
            due.last().count += count;
            if (isZoneB(tariff, at.time().hour())) due.last().countB += count;
            due.last().lastSecond = lastDue;
        }
        second = last + 1;
    }
    return due;
}

} // namespace tarv
