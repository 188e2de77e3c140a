#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tarv {

// The state codes of a dial-up connection, as the probe reads them.
namespace DialState {
constexpr int ConnectDevice = 2;   // the device is dialling
constexpr int Authenticate = 5;    // user name and password are being checked
constexpr int Connected = 0x2000;  // the link is up
} // namespace DialState

// The status of one dial-up connection: its state code and the type of device that carries it
// (at most 17 characters, for example "modem"). Any code other than the three above means
// "some other state".
struct DialStatus {
    int state = 0;
    QString deviceType;
    // The connection's name as the service shows it to the user; empty when it has none.
    QString name = {};
    // The network interface that carries the connection ("ppp0"); empty when the service
    // cannot tell, and then no traffic is counted.
    QString interfaceName = {};
};

// The system's dial-up service, reduced to the two questions the probe asks of it.
// Every answer must come back quickly: the probe runs once a second on the GUI thread.
class DialupService {
public:
    virtual ~DialupService() = default;
    // The active dial-up connections, as opaque handles in the platform's order;
    // nullopt when the service cannot be reached or the enumeration failed.
    virtual std::optional<QStringList> activeConnections() = 0;
    // The status of one connection named by its handle; a failed query reads as state 0.
    virtual DialStatus connectionStatus(const QString &handle) = 0;
    // Ends the connection named by handle, without waiting for it to go down. True when the
    // request went out; otherwise why says, in Greek, why this service cannot end it.
    virtual bool hangUp(const QString &handle, QString &why) {
        (void)handle;
        why = QStringLiteral("Η υπηρεσία σύνδεσης δεν μπορεί να κλείσει τη σύνδεση.");
        return false;
    }
};

} // namespace tarv
