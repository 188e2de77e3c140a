#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace tarv {

// What the meter keeps between ticks. The names are those the rest of the program uses.
struct MeterState {
    QDateTime connectionStart;     // when the current connection was first seen
    QDate currentDay;              // the day whose record is being accumulated
    bool online = false;           // a connection was seen at the last tick
    int zoneAFrom = 8;             // first hour of zone A
    int zoneATo = 22;              // hour at which zone A ends
    int zoneASeconds = 270;        // seconds per unit in zone A
    int zoneBSeconds = 540;        // seconds per unit in zone B
    int unitSeconds = 0;           // seconds per unit of the zone in force at this tick
    double unitPrice = 9.0;        // price of one unit
    double connectionCost = 0;     // charged in the current connection
    double todayStored = 0;        // the ledger's amount for currentDay when last read
    QString currencyLabel = QStringLiteral("Δρχ");
    double todayAccrued = 0;       // charged for currentDay since todayStored was read
    QString statusSuffix;          // appended to the status line by the probe
    qint64 elapsedCharged = 0;     // the connection's last elapsed second whose units are charged
    qint64 steadyAtTick = 0;       // the clock's steady reading at the last online tick

    // The day total that is shown and written.
    double dayTotal() const { return todayStored + todayAccrued; }
};

// The tariff as the ledger's first line holds it.
struct TariffHeader {
    int zoneAFrom = 8;
    int zoneATo = 22;
    int zoneASeconds = 270;
    int zoneBSeconds = 540;
    double unitPrice = 9.0;
    QString currencyLabel = QStringLiteral("Δρχ");
};

} // namespace tarv
