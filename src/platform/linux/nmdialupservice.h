#pragma once

#include "platform/dialupservice.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <functional>

class QDBusMessage;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace tarv {

// Dial-up connections as NetworkManager reports them on the system bus.
//
// The service keeps a view of NetworkManager's active connections and their first devices,
// loaded with asynchronous calls and kept current from NetworkManager's signals, so that the
// once-a-second questions of the meter are answered from memory without a round trip. While a
// dial-up connection is in view (or a load is still unanswered), a light asynchronous check every
// few seconds confirms that NetworkManager still answers; when a check stays unanswered, the view
// is not trusted and reads as no connection until NetworkManager answers again.
class NmDialupService final : public QObject, public DialupService {
    Q_OBJECT
public:
    explicit NmDialupService(const QDBusConnection &bus, QObject *parent = nullptr);
    ~NmDialupService() override;

    // nullopt while NetworkManager has no owner on the bus, the view is not loaded yet or
    // NetworkManager does not answer.
    std::optional<QStringList> activeConnections() override;
    DialStatus connectionStatus(const QString &handle) override;
    // Asks NetworkManager to deactivate the active connection (the handle is its path).
    bool hangUp(const QString &handle, QString &why) override;

    // True while NetworkManager's name has an owner on the bus, as last heard.
    bool serviceOwned() const { return m_owned; }

    // Whether an active connection of this type, whose first device has this type, is dial-up.
    static bool isDialup(const QString &connectionType, uint deviceType);
    // The state code of an active connection in this state whose first device is in that state.
    static int stateCode(uint activeState, uint deviceState);
    // The device type text of a dial-up connection.
    static QString deviceTypeText(const QString &connectionType, uint deviceType);

    // How long a check may stay unanswered before the view is no longer trusted.
    static constexpr int kUnansweredLimitMs = 1500;
    // How often the check runs while a dial-up connection is in view.
    static constexpr int kCheckIntervalMs = 2000;

signals:
    // The view changed (for tests and for anyone who wants to redraw at once).
    void viewChanged();

private slots:
    void onOwnerChanged(const QString &name, const QString &oldOwner, const QString &newOwner);
    void onPropertiesChanged(const QDBusMessage &message);
    void onLegacyPropertiesChanged(const QDBusMessage &message);
    void onDeviceStateChanged(const QDBusMessage &message);
    void onActiveStateChanged(const QDBusMessage &message);
    void onCheckTimer();

private:
    struct ActiveInfo {
        bool loaded = false;
        QString type;
        uint state = 0;
        QString firstDevice;
        QString id; // the connection's name as the user knows it
    };
    struct DeviceInfo {
        bool loaded = false;
        uint deviceType = 0;
        uint state = 0;
        QString ipInterface; // the interface that carries the traffic ("ppp0")
    };

    void subscribe();
    void queryOwner();
    void reset(bool owned);
    void requestActiveList(bool isCheck);
    void requestActive(const QString &path);
    void requestDevice(const QString &path);
    // Sends an asynchronous call; the handler runs only if the view has not been reset since.
    void callAsync(const QString &path, const QString &method, const QVariantList &args,
                   std::function<void(const QDBusMessage &)> onReply, std::function<void()> onError = {});

    void setActiveList(const QStringList &paths);
    void applyActiveProps(const QString &path, const QVariantMap &props);
    void applyDeviceProps(const QString &path, const QVariantMap &props);
    void applyManagerProps(const QVariantMap &props);
    void applyProps(const QString &path, const QString &interface, const QVariantMap &props);
    void pruneDevices();
    void updateCheckTimer();

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    QTimer m_checkTimer;
    bool m_owned = false;
    bool m_ready = false;      // the active list has been loaded since the last reset
    bool m_unanswered = false; // the last check failed
    bool m_checkPending = false;
    QElapsedTimer m_checkSent;
    quint64 m_generation = 0;

    QStringList m_order;
    QHash<QString, ActiveInfo> m_active;
    QHash<QString, DeviceInfo> m_devices;
};

} // namespace tarv
