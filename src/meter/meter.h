#pragma once

#include "meter/ledger.h"
#include "meter/meterobserver.h"
#include "meter/meterstate.h"
#include "meter/meterview.h"
#include "platform/platform.h"

#include <exception>
#include <functional>

namespace tarv {

// The meter: once a second it asks the dial-up service whether a connection is up, times it,
// charges units by the tariff zone in force and keeps the day's total in the ledger.
class Meter final {
public:
    Meter(Platform platform, MeterView &view);

    // MeterState, as the rest of the program reads and writes it.
    MeterState s;

    // Sets the state's values at creation (the tariff defaults, today, the time now).
    void initState();
    // The once-a-second tick.
    void Timer1Timer();
    // Asks the dial-up service; true only when its first connection is connected.
    bool probeConnection();
    // Loads the tariff and day's stored amount, creating the ledger or the day's record.
    void readData(const QDate &day);
    // Rolls the day over when the date has changed and writes the day total in place.
    void saveData();

    void connectTransition();
    void disconnectTransition();
    void onlineSteps();

    const Platform &platform() const { return m_platform; }
    Ledger &ledger() { return m_ledger; }
    MeterView &view() { return m_view; }

    // Elapsed whole seconds of the current connection at now.
    qint64 elapsedSeconds(const QDateTime &now) const;
    // The status line as the last tick set it.
    const QString &statusLine() const { return m_statusLine; }
    // "Σήμερα: " + amount + " " + currency.
    QString todayLine(double amount) const;
    // Tells observer of every connection, charge and disconnection; null for none. Not owned.
    void setObserver(MeterObserver *observer) { m_observer = observer; }

    // Told the day and its new total after every charge has been written to the ledger. It runs
    // inside the tick, so it must return at once; what it raises is its own business and never
    // reaches the meter.
    using ChargeObserver = std::function<void(const QDate &day, double dayTotal)>;
    void setChargeObserver(ChargeObserver observer) { m_chargeObserver = std::move(observer); }

private:
    // Charges every unit that fell due after the last second charged, up to `elapsed`, within
    // the time that really passed since then (by the clock's steady reading `steady`), and
    // writes each day's total once.
    void chargeDueUnits(const QDateTime &now, qint64 elapsed, qint64 steady);
    // Writes the day total for `day`. When `day` is not the day being accumulated, the day rolls
    // over first and starts from `dayCharge`, what was charged for it in this step.
    void saveDayTotal(const QDate &day, double dayCharge);
    // Calls the observer, if any. What it raises is kept for the end of the tick, so that a log
    // that cannot be written never stops a unit from being charged.
    void tell(const std::function<void(MeterObserver &)> &call);

    Platform m_platform;
    MeterView &m_view;
    Ledger m_ledger;
    QString m_statusLine; // the status line as the current tick set it
    ChargeObserver m_chargeObserver;
    MeterObserver *m_observer = nullptr;
    ConnectionInfo m_probed; // the connection the last probe found up
    std::exception_ptr m_observerError; // the first error the observer raised in this tick
};

// The text of the elapsed-time line for a number of seconds: "Χρόνος: 1h 2m 3s ".
QString elapsedText(qint64 seconds);

} // namespace tarv
