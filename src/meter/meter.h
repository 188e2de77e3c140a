#pragma once

#include "meter/ledger.h"
#include "meter/meterobserver.h"
#include "meter/meterstate.h"
#include "meter/meterview.h"
#include "platform/platform.h"

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

private:
    Platform m_platform;
    MeterView &m_view;
    Ledger m_ledger;
    QString m_statusLine; // the status line as the current tick set it
    MeterObserver *m_observer = nullptr;
    ConnectionInfo m_probed; // the connection the last probe found up
};

// The text of the elapsed-time line for a number of seconds: "Χρόνος: 1h 2m 3s ".
QString elapsedText(qint64 seconds);

} // namespace tarv
