// The question that decides the tray protocol, against a status-notifier watcher mocked on a
// private session bus.
#include "shell/trayhost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

using namespace tarv;

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

// A private bus with a mocked watcher that the test starts and gives properties.
struct WatcherRig {
    QProcess daemon, mock;
    QString address;
    QDBusConnection bus{QString()};

    WatcherRig() {
        daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--print-address=1")});
        if (!daemon.waitForReadyRead(5000)) return;
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        bus = QDBusConnection::connectToBus(address, QStringLiteral("tray-watcher-test"));
    }
    ~WatcherRig() {
        mock.kill();
        mock.waitForFinished();
        QDBusConnection::disconnectFromBus(QStringLiteral("tray-watcher-test"));
        daemon.kill();
        daemon.waitForFinished();
    }
    bool startWatcher() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        mock.setProcessEnvironment(env);
        mock.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-m"), QStringLiteral("dbusmock"), kWatcher,
                                                        QStringLiteral("/StatusNotifierWatcher"), kWatcher});
        for (QDeadlineTimer t(10000); !t.hasExpired(); QThread::msleep(50))
            if (bus.interface()->isServiceRegistered(kWatcher).value()) return true;
        return false;
    }
    void call(const char *iface, const char *method, const QVariantList &args) {
        QDBusMessage m = QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"),
                                                        QLatin1String(iface), QLatin1String(method));
        m.setArguments(args);
        bus.call(m);
    }
};

} // namespace

TEST(TrayWatcher, StatusNotifierOnlyWhenTheWatcherReportsARegisteredHost) {
    WatcherRig rig;
    ASSERT_TRUE(rig.bus.isConnected()) << "no private session bus";
    EXPECT_FALSE(statusNotifierHostRegistered(rig.bus)); // no watcher at all
    ASSERT_TRUE(rig.startWatcher());
    EXPECT_FALSE(statusNotifierHostRegistered(rig.bus)); // a watcher that cannot say
    rig.call("org.freedesktop.DBus.Mock", "AddProperty",
             {kWatcher, QStringLiteral("IsStatusNotifierHostRegistered"), QVariant::fromValue(QDBusVariant(false))});
    EXPECT_FALSE(statusNotifierHostRegistered(rig.bus)); // a watcher without a host
    rig.call("org.freedesktop.DBus.Properties", "Set",
             {kWatcher, QStringLiteral("IsStatusNotifierHostRegistered"), QVariant::fromValue(QDBusVariant(true))});
    EXPECT_TRUE(statusNotifierHostRegistered(rig.bus));
}
