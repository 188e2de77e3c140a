#include "platform/linux/nmdialupservice.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace tarv {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kManagerIface = QStringLiteral("org.freedesktop.NetworkManager");
const QString kActiveIface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kDeviceIface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kPropsIface = QStringLiteral("org.freedesktop.DBus.Properties");

// No reply is awaited for longer than this; the view stops being trusted much earlier.
constexpr int kCallTimeoutMs = 10000;

// NetworkManager's codes.
constexpr uint kActiveActivating = 1;
constexpr uint kActiveActivated = 2;
constexpr uint kDeviceModem = 8;
constexpr uint kDeviceAdsl = 12;
constexpr uint kDevicePpp = 23;

// A variant as D-Bus delivered it: plain, or still wrapped in a QDBusVariant.
QVariant unwrap(const QVariant &v) {
    if (v.metaType() == QMetaType::fromType<QDBusVariant>()) return v.value<QDBusVariant>().variant();
    return v;
}

QVariantMap toMap(const QVariant &v) {
    const QVariant u = unwrap(v);
    if (u.metaType() == QMetaType::fromType<QDBusArgument>()) return qdbus_cast<QVariantMap>(u);
    return u.toMap();
}

// An array of object paths ("ao") as strings, however it was delivered.
QStringList toPaths(const QVariant &v) {
    const QVariant u = unwrap(v);
    QStringList out;
    if (u.metaType() == QMetaType::fromType<QDBusArgument>()) {
        for (const QDBusObjectPath &p : qdbus_cast<QList<QDBusObjectPath>>(u))
            out << p.path();
    } else if (u.metaType() == QMetaType::fromType<QList<QDBusObjectPath>>()) {
        for (const QDBusObjectPath &p : u.value<QList<QDBusObjectPath>>())
            out << p.path();
    } else {
        out = u.toStringList();
    }
    return out;
}

} // namespace

bool NmDialupService::isDialup(const QString &connectionType, uint deviceType) {
    static const QStringList dialupTypes = {QStringLiteral("gsm"), QStringLiteral("cdma"),
                                            QStringLiteral("pppoe"), QStringLiteral("bluetooth"),
                                            QStringLiteral("adsl")};
    return dialupTypes.contains(connectionType) || deviceType == kDeviceModem || deviceType == kDevicePpp ||
           deviceType == kDeviceAdsl;
}

int NmDialupService::stateCode(uint activeState, uint deviceState) {
    if (activeState == kActiveActivated) return DialState::Connected;
    if (activeState != kActiveActivating) return 0;
    switch (deviceState) {
    case 40: // prepare
    case 50: // config: the modem dials
        return DialState::ConnectDevice;
    case 60: // need auth
    case 70: // IP configuration: PPP authenticates here
        return DialState::Authenticate;
    default:
        return 0;
    }
}

QString NmDialupService::deviceTypeText(const QString &connectionType, uint deviceType) {
    if (connectionType == QLatin1String("pppoe")) return QStringLiteral("PPPoE");
    if (connectionType == QLatin1String("adsl")) return QStringLiteral("ADSL");
    if (connectionType == QLatin1String("gsm") || connectionType == QLatin1String("cdma") ||
        connectionType == QLatin1String("bluetooth"))
        return QStringLiteral("modem");
    if (deviceType == kDevicePpp) return QStringLiteral("PPPoE");
    if (deviceType == kDeviceAdsl) return QStringLiteral("ADSL");
    return QStringLiteral("modem");
}

NmDialupService::NmDialupService(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus) {
    m_checkTimer.setInterval(kCheckIntervalMs);
    connect(&m_checkTimer, &QTimer::timeout, this, &NmDialupService::onCheckTimer);
    if (!m_bus.isConnected()) return;
    m_watcher = new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &NmDialupService::onOwnerChanged);
    subscribe();
    queryOwner();
}

NmDialupService::~NmDialupService() = default;

void NmDialupService::subscribe() {
    // The standard signal, and the older per-interface one that some NetworkManager versions
    // still send; both carry the same news, and applying it twice does no harm.
    m_bus.connect(kService, QString(), kPropsIface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(onPropertiesChanged(QDBusMessage)));
    for (const QString &iface : {kManagerIface, kActiveIface, kDeviceIface})
        m_bus.connect(kService, QString(), iface, QStringLiteral("PropertiesChanged"), this,
                      SLOT(onLegacyPropertiesChanged(QDBusMessage)));
    m_bus.connect(kService, QString(), kDeviceIface, QStringLiteral("StateChanged"), this,
                  SLOT(onDeviceStateChanged(QDBusMessage)));
    m_bus.connect(kService, QString(), kActiveIface, QStringLiteral("StateChanged"), this,
                  SLOT(onActiveStateChanged(QDBusMessage)));
}

bool NmDialupService::hangUp(const QString &handle, QString &why) {
    if (!m_owned || !m_active.contains(handle)) {
        why = QStringLiteral("Το NetworkManager δεν αναφέρει πια αυτή τη σύνδεση.");
        return false;
    }
    QDBusMessage msg = QDBusMessage::createMethodCall(kService, kManagerPath, kManagerIface,
                                                      QStringLiteral("DeactivateConnection"));
    msg << QVariant::fromValue(QDBusObjectPath(handle));
    // The answer is not awaited: the connection's state signals bring the news, and the meter
    // goes off line at the tick after the connection is gone.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(msg, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
    return true;
}

void NmDialupService::queryOwner() {
    // Asked of the bus itself, without waiting: the watcher reports every later change.
    const QDBusMessage msg =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                       QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"))
        << kService;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(msg, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
        const bool owned = reply.arguments().first().toBool();
        // The watcher may have spoken first; only a change of mind resets the view.
        if (owned != m_owned) reset(owned);
    });
}

void NmDialupService::onOwnerChanged(const QString &, const QString &, const QString &newOwner) {
    // A new owner is a restarted NetworkManager: everything is loaded again.
    reset(!newOwner.isEmpty());
}

void NmDialupService::reset(bool owned) {
    ++m_generation;
    m_owned = owned;
    m_ready = false;
    m_unanswered = false;
    m_checkPending = false;
    m_order.clear();
    m_active.clear();
    m_devices.clear();
    m_checkTimer.stop();
    if (m_owned) requestActiveList(false);
    // Should the first load go unanswered, the check asks again.
    updateCheckTimer();
    emit viewChanged();
}

void NmDialupService::callAsync(const QString &path, const QString &method, const QVariantList &args,
                                std::function<void(const QDBusMessage &)> onReply,
                                std::function<void()> onError) {
    QDBusMessage msg = QDBusMessage::createMethodCall(kService, path, kPropsIface, method);
    msg.setArguments(args);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(msg, kCallTimeoutMs), this);
    const quint64 generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation, onReply = std::move(onReply),
             onError = std::move(onError)](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                if (generation != m_generation) return;
                const QDBusMessage reply = w->reply();
                if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                    onReply(reply);
                else if (onError)
                    onError();
            });
}

void NmDialupService::requestActiveList(bool isCheck) {
    if (isCheck) {
        m_checkPending = true;
        m_checkSent.start();
    }
    callAsync(
        kManagerPath, QStringLiteral("Get"), {kManagerIface, QStringLiteral("ActiveConnections")},
        [this, isCheck](const QDBusMessage &reply) {
            if (isCheck) {
                m_checkPending = false;
                m_unanswered = false;
            }
            m_ready = true;
            setActiveList(toPaths(reply.arguments().first()));
        },
        [this, isCheck] {
            if (!isCheck) return;
            m_checkPending = false;
            m_unanswered = true;
            updateCheckTimer();
            emit viewChanged();
        });
}

void NmDialupService::requestActive(const QString &path) {
    callAsync(path, QStringLiteral("GetAll"), {kActiveIface}, [this, path](const QDBusMessage &reply) {
        applyActiveProps(path, toMap(reply.arguments().first()));
    });
}

void NmDialupService::requestDevice(const QString &path) {
    callAsync(path, QStringLiteral("GetAll"), {kDeviceIface}, [this, path](const QDBusMessage &reply) {
        applyDeviceProps(path, toMap(reply.arguments().first()));
    });
}

void NmDialupService::setActiveList(const QStringList &paths) {
    m_order = paths;
    for (auto it = m_active.begin(); it != m_active.end();) {
        if (paths.contains(it.key()))
            ++it;
        else
            it = m_active.erase(it);
    }
    for (const QString &path : paths) {
        if (m_active.contains(path)) continue;
        m_active.insert(path, ActiveInfo());
        requestActive(path);
    }
    pruneDevices();
    updateCheckTimer();
    emit viewChanged();
}

void NmDialupService::applyActiveProps(const QString &path, const QVariantMap &props) {
    auto it = m_active.find(path);
    if (it == m_active.end()) return;
    ActiveInfo &info = it.value();
    info.loaded = true;
    if (props.contains(QStringLiteral("Type")))
        info.type = unwrap(props.value(QStringLiteral("Type"))).toString();
    if (props.contains(QStringLiteral("Id"))) info.id = unwrap(props.value(QStringLiteral("Id"))).toString();
    if (props.contains(QStringLiteral("State")))
        info.state = unwrap(props.value(QStringLiteral("State"))).toUInt();
    if (props.contains(QStringLiteral("Devices"))) {
        const QStringList devices = toPaths(props.value(QStringLiteral("Devices")));
        info.firstDevice = devices.value(0);
        if (!info.firstDevice.isEmpty() && !m_devices.contains(info.firstDevice)) {
            m_devices.insert(info.firstDevice, DeviceInfo());
            requestDevice(info.firstDevice);
        }
        pruneDevices();
    }
    updateCheckTimer();
    emit viewChanged();
}

void NmDialupService::applyDeviceProps(const QString &path, const QVariantMap &props) {
    auto it = m_devices.find(path);
    if (it == m_devices.end()) return;
    DeviceInfo &info = it.value();
    info.loaded = true;
    if (props.contains(QStringLiteral("DeviceType")))
        info.deviceType = unwrap(props.value(QStringLiteral("DeviceType"))).toUInt();
    if (props.contains(QStringLiteral("IpInterface")))
        info.ipInterface = unwrap(props.value(QStringLiteral("IpInterface"))).toString();
    if (props.contains(QStringLiteral("State")))
        info.state = unwrap(props.value(QStringLiteral("State"))).toUInt();
    updateCheckTimer();
    emit viewChanged();
}

void NmDialupService::applyManagerProps(const QVariantMap &props) {
    // Changes that arrive before the first load are covered by that load's answer.
    if (m_ready && props.contains(QStringLiteral("ActiveConnections")))
        setActiveList(toPaths(props.value(QStringLiteral("ActiveConnections"))));
}

void NmDialupService::applyProps(const QString &path, const QString &interface, const QVariantMap &props) {
    if (interface == kManagerIface && path == kManagerPath)
        applyManagerProps(props);
    else if (interface == kActiveIface)
        applyActiveProps(path, props);
    else if (interface == kDeviceIface)
        applyDeviceProps(path, props);
}

void NmDialupService::pruneDevices() {
    QSet<QString> used;
    for (const ActiveInfo &info : std::as_const(m_active))
        if (!info.firstDevice.isEmpty()) used.insert(info.firstDevice);
    for (auto it = m_devices.begin(); it != m_devices.end();) {
        if (used.contains(it.key()))
            ++it;
        else
            it = m_devices.erase(it);
    }
}

void NmDialupService::onPropertiesChanged(const QDBusMessage &message) {
    const QVariantList args = message.arguments();
    if (args.size() < 2) return;
    applyProps(message.path(), args.at(0).toString(), toMap(args.at(1)));
}

void NmDialupService::onLegacyPropertiesChanged(const QDBusMessage &message) {
    const QVariantList args = message.arguments();
    if (args.isEmpty()) return;
    applyProps(message.path(), message.interface(), toMap(args.at(0)));
}

void NmDialupService::onDeviceStateChanged(const QDBusMessage &message) {
    const QVariantList args = message.arguments();
    if (args.isEmpty()) return;
    applyDeviceProps(message.path(), {{QStringLiteral("State"), args.at(0)}});
}

void NmDialupService::onActiveStateChanged(const QDBusMessage &message) {
    const QVariantList args = message.arguments();
    if (args.isEmpty()) return;
    applyActiveProps(message.path(), {{QStringLiteral("State"), args.at(0)}});
}

void NmDialupService::updateCheckTimer() {
    // The check matters only while something is to be confirmed: a dial-up connection in view,
    // a load that has not been answered, or a NetworkManager that did not answer. With none of
    // these a silent NetworkManager already reads as no connection, so an idle meter sends nothing.
    bool needed = m_owned && (!m_ready || m_unanswered);
    for (const ActiveInfo &info : std::as_const(m_active)) {
        const DeviceInfo device = m_devices.value(info.firstDevice);
        if (!info.loaded || (!info.firstDevice.isEmpty() && !device.loaded) ||
            isDialup(info.type, device.deviceType))
            needed = true;
    }
    if (needed && !m_checkTimer.isActive())
        m_checkTimer.start();
    else if (!needed && m_checkTimer.isActive())
        m_checkTimer.stop();
}

void NmDialupService::onCheckTimer() {
    if (!m_owned || m_checkPending) return;
    requestActiveList(true);
    // Loads that went unanswered (NetworkManager was busy or stopped for a while) are asked again.
    for (auto it = m_active.cbegin(); it != m_active.cend(); ++it)
        if (!it->loaded) requestActive(it.key());
    for (auto it = m_devices.cbegin(); it != m_devices.cend(); ++it)
        if (!it->loaded) requestDevice(it.key());
}

std::optional<QStringList> NmDialupService::activeConnections() {
    if (!m_owned || !m_ready || m_unanswered) return std::nullopt;
    if (m_checkPending && m_checkSent.elapsed() > kUnansweredLimitMs) return std::nullopt;
    QStringList handles;
    for (const QString &path : std::as_const(m_order)) {
        const ActiveInfo info = m_active.value(path);
        if (!info.loaded) continue;
        if (isDialup(info.type, m_devices.value(info.firstDevice).deviceType)) handles << path;
    }
    return handles;
}

DialStatus NmDialupService::connectionStatus(const QString &handle) {
    DialStatus status;
    const auto it = m_active.constFind(handle);
    if (it == m_active.constEnd() || !it->loaded) return status;
    const DeviceInfo device = m_devices.value(it->firstDevice);
    status.state = stateCode(it->state, device.state);
    status.deviceType = deviceTypeText(it->type, device.deviceType);
    status.name = it->id;
    status.interfaceName = device.ipInterface;
    return status;
}

} // namespace tarv
