#pragma once

#include "meter/meterstate.h"

#include <QDate>
#include <QDateTime>
#include <QList>

namespace tarv {

// True when the hour (0 to 23) lies in zone B: before zone A starts or from the hour it ends.
// With zoneAFrom at or after zoneATo every hour is zone B.
bool isZoneB(const MeterState &s, int hour);
// The seconds per unit of the zone in force at the hour, at least 1.
qint64 unitSecondsAt(const MeterState &s, int hour);

// The units that fall due on one day.
struct DueUnits {
    QDate day;            // the day of the units' due moments
    qint64 count = 0;     // how many units
    qint64 countB = 0;    // how many of them fell due in zone B
    qint64 lastSecond = 0; // the connection's elapsed second at which the last of them fell due
};

// The units that fall due at the connection's elapsed seconds from `from` to `to`, both included,
// grouped by day in the order they fell due. A unit falls due at every elapsed second that is a
// positive multiple of the seconds per unit of the zone in force at that second; so these are
// exactly the units that ticks at each of those seconds would have charged. `now` is the moment of
// second `to`; an earlier second s is taken to have come (to - s) seconds before it, as the
// timer's ticks keep their phase within the second.
//
// The work grows with the number of zone changes and days crossed, not with the seconds, so a
// clock that jumps far ahead costs a few steps a day.
QList<DueUnits> dueUnits(const MeterState &tariff, const QDateTime &now, qint64 from, qint64 to);

} // namespace tarv
