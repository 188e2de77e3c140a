#include "platform/nmmockrig.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <csignal>

namespace tarv::test {

namespace {

const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
const QString kDeviceIface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kActiveIface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");

int g_connectionCounter = 0;

// A bus that lets everyone own any name and talk to anyone: fit for a test, nothing else.
QByteArray busConfig(const QString &socket) {
    return QByteArray(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:path=)") +
           socket.toUtf8() + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
}

} // namespace

bool waitFor(const std::function<bool()> &pred, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired()) return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

NmMockRig::NmMockRig() {
    qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot write the bus configuration");
        return;
    }
    f.write(busConfig(m_dir.filePath(QStringLiteral("bus"))));
    f.close();

    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1")});
    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    m_daemon.start();
    if (!m_daemon.waitForStarted(5000)) {
        m_error = QStringLiteral("dbus-daemon did not start");
        return;
    }
    QDeadlineTimer deadline(5000);
    while (!m_daemon.canReadLine() && !deadline.hasExpired())
        m_daemon.waitForReadyRead(100);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon gave no address");
        return;
    }
    m_driver = connect(QStringLiteral("driver"));
    if (!m_driver.isConnected()) {
        m_error = QStringLiteral("cannot connect to the private bus");
        return;
    }
    if (!startMock()) m_error = QStringLiteral("the mock NetworkManager did not start");
}

NmMockRig::~NmMockRig() {
    stopMock();
    for (const QString &name : std::as_const(m_connections))
        QDBusConnection::disconnectFromBus(name);
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(3000);
        }
    }
}

QDBusConnection NmMockRig::connect(const QString &name) {
    const QString unique = QStringLiteral("tarv-test-%1-%2").arg(name).arg(++g_connectionCounter);
    m_connections << unique;
    return QDBusConnection::connectToBus(m_address, unique);
}

bool NmMockRig::startMock() {
    stopMock();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
    m_mock.setProcessEnvironment(env);
    m_mock.setProgram(QStringLiteral("/usr/bin/python3"));
    m_mock.setArguments({QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                         QStringLiteral("networkmanager")});
    m_mock.setStandardOutputFile(m_dir.filePath(QStringLiteral("mock.log")));
    m_mock.setStandardErrorFile(m_dir.filePath(QStringLiteral("mock.err")));
    m_mock.start();
    if (!m_mock.waitForStarted(5000)) return false;
    return waitFor([this] { return m_driver.interface()->isServiceRegistered(kNm).value(); }, 15000);
}

void NmMockRig::stopMock() {
    if (m_mock.state() == QProcess::NotRunning) return;
    m_mock.kill(); // a paused process dies of SIGKILL too
    m_mock.waitForFinished(5000);
}

void NmMockRig::pauseMock() {
    if (m_mock.processId() > 0) ::kill(static_cast<pid_t>(m_mock.processId()), SIGSTOP);
}

void NmMockRig::resumeMock() {
    if (m_mock.processId() > 0) ::kill(static_cast<pid_t>(m_mock.processId()), SIGCONT);
}

QVariantList NmMockRig::mockCall(const QString &method, const QVariantList &args) {
    QDBusMessage msg = QDBusMessage::createMethodCall(kNm, QStringLiteral("/org/freedesktop"),
                                                      QStringLiteral("org.freedesktop.DBus.Mock"), method);
    msg.setArguments(args);
    const QDBusMessage reply = m_driver.call(msg, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qWarning("mock call %s failed: %s", qPrintable(method), qPrintable(reply.errorMessage()));
        return {};
    }
    return reply.arguments();
}

void NmMockRig::setProperty(const QString &path, const QString &iface, const QString &name,
                            const QVariant &value) {
    mockCall(QStringLiteral("SetProperty"), {path, iface, name, QVariant::fromValue(QDBusVariant(value))});
}

QString NmMockRig::addDevice(const QString &name, uint deviceType, uint state) {
    // The template only makes Ethernet and Wi-Fi devices: an Ethernet one is retyped.
    const QVariantList r = mockCall(QStringLiteral("AddEthernetDevice"), {name, name, int(state)});
    const QString path = r.value(0).toString();
    if (!path.isEmpty()) setProperty(path, kDeviceIface, QStringLiteral("DeviceType"), deviceType);
    return path;
}

QString NmMockRig::addConnection(const QString &type, const QString &id) {
    QMap<QString, QVariantMap> settings;
    settings[QStringLiteral("connection")] = {{QStringLiteral("type"), type}, {QStringLiteral("id"), id}};
    QDBusMessage msg = QDBusMessage::createMethodCall(
        kNm, QStringLiteral("/org/freedesktop/NetworkManager/Settings"),
        QStringLiteral("org.freedesktop.NetworkManager.Settings"), QStringLiteral("AddConnection"));
    msg << QVariant::fromValue(settings);
    const QDBusMessage reply = m_driver.call(msg, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qWarning("AddConnection failed: %s", qPrintable(reply.errorMessage()));
        return {};
    }
    return reply.arguments().first().value<QDBusObjectPath>().path();
}

QString NmMockRig::activate(const QString &device, const QString &connection, const QString &name, uint state,
                            int deviceState) {
    const QStringList devices = device.isEmpty() ? QStringList() : QStringList{device};
    const QVariantList r = mockCall(QStringLiteral("AddActiveConnection"),
                                    {devices, connection, QStringLiteral("/"), name, state});
    if (deviceState >= 0 && !device.isEmpty()) setDeviceState(device, uint(deviceState));
    return r.value(0).toString();
}

void NmMockRig::setDeviceState(const QString &device, uint state) {
    setProperty(device, kDeviceIface, QStringLiteral("State"), state);
}

void NmMockRig::setActiveState(const QString &active, uint state) {
    setProperty(active, kActiveIface, QStringLiteral("State"), state);
}

void NmMockRig::deactivate(const QString &device, const QString &active) {
    mockCall(QStringLiteral("RemoveActiveConnection"), {device, active});
}

void NmMockRig::listActive(const QStringList &paths) {
    QList<QDBusObjectPath> list;
    for (const QString &p : paths)
        list << QDBusObjectPath(p);
    setProperty(QStringLiteral("/org/freedesktop/NetworkManager"), kNm, QStringLiteral("ActiveConnections"),
                QVariant::fromValue(list));
}

bool NmMockRig::python(const QString &code) {
    const QString prelude = QStringLiteral("import dbus\n"
                                           "bus = dbus.bus.BusConnection('%1')\n"
                                           "mock = dbus.Interface(bus.get_object('%2', '/org/freedesktop'), "
                                           "'org.freedesktop.DBus.Mock')\n")
                                .arg(m_address, kNm);
    QProcess py;
    py.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    py.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), prelude + code});
    return py.waitForFinished(15000) && py.exitStatus() == QProcess::NormalExit && py.exitCode() == 0;
}

} // namespace tarv::test
