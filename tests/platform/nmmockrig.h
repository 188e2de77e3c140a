#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>

namespace tarv::test {

// A private D-Bus daemon with a mock NetworkManager on it, started and stopped by the test.
// The mock is python3-dbusmock's networkmanager template; the helpers script dial-up connections
// on it the way a modem, PPPoE or ADSL line would appear.
class NmMockRig {
public:
    NmMockRig();
    ~NmMockRig();
    NmMockRig(const NmMockRig &) = delete;
    NmMockRig &operator=(const NmMockRig &) = delete;

    // Empty when the bus and the mock run; otherwise what went wrong.
    QString error() const { return m_error; }
    QString address() const { return m_address; }
    // A fresh connection to the private bus, for a service under test.
    QDBusConnection connect(const QString &name);
    // The rig's own connection, which drives the mock.
    QDBusConnection driver() const { return m_driver; }

    // Starts the mock (again) and waits until it owns NetworkManager's name.
    bool startMock();
    void stopMock(); // kills it
    void pauseMock();
    void resumeMock();
    qint64 mockPid() const { return m_mock.processId(); }

    // A device of this NetworkManager type (8 modem, 12 ADSL, 23 PPP, 1 Ethernet); its path.
    QString addDevice(const QString &name, uint deviceType, uint state = 30);
    // A saved connection of this type ("gsm", "pppoe", ...); its path.
    QString addConnection(const QString &type, const QString &id);
    // An active connection of a saved connection on a device; its path. The mock marks the
    // device activated (100); pass deviceState to set it to something else afterwards.
    QString activate(const QString &device, const QString &connection, const QString &name, uint state,
                     int deviceState = -1);
    void setDeviceState(const QString &device, uint state);
    void setProperty(const QString &path, const QString &iface, const QString &name, const QVariant &value);
    void setActiveState(const QString &active, uint state);
    void deactivate(const QString &device, const QString &active);
    // Sets the manager's list of active connections as it is, whatever objects exist.
    void listActive(const QStringList &paths);
    // Runs Python code against the mock, with `dbus`, `bus` and `mock` (its control interface) at hand.
    bool python(const QString &code);

private:
    QVariantList mockCall(const QString &method, const QVariantList &args);

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QProcess m_mock;
    QString m_address;
    QString m_error;
    QDBusConnection m_driver{QString()};
    QStringList m_connections;
};

// Runs the event loop until pred holds or timeoutMs pass; returns pred's last value.
bool waitFor(const std::function<bool()> &pred, int timeoutMs = 5000);

} // namespace tarv::test
