#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace tarv {

// What the dial-up service told about a connection when the meter saw it come up.
struct ConnectionInfo {
    QString name;          // the connection's name, or the service's handle when it has none
    QString deviceType;    // "modem", "PPPoE", ...
    QString interfaceName; // the network interface that carries it; empty when unknown
};

// Told of each step of a connection the meter charges. Every call happens on the meter's tick,
// after the ledger was written, so an observer sees exactly what the ledger holds.
class MeterObserver {
public:
    virtual ~MeterObserver() = default;
    // The connection came up at at.
    virtual void connected(const QDateTime &at, const ConnectionInfo &info) = 0;
    // Units were charged and added to the ledger's record of ledgerDay, the last of them due at
    // at: unitsA in zone A and unitsB in zone B, each at price. One tick on time charges one;
    // a late tick charges all that fell due meanwhile, in one call per day.
    virtual void charged(const QDateTime &at, const QDate &ledgerDay, qint64 unitsA,
                         qint64 unitsB, double price, const QString &currency) = 0;
    // A tick while the connection is up (after any charge of that tick).
    virtual void online(const QDateTime &at) = 0;
    // The connection went down; at is the tick that saw it gone.
    virtual void disconnected(const QDateTime &at) = 0;
};

} // namespace tarv
