#include "meter/meterfixture.h"
#include "platform/linux/nmdialupservice.h"
#include "platform/nmmockrig.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <iostream>

using namespace tarv;
using tarv::test::NmMockRig;
using tarv::test::waitFor;

namespace {

constexpr uint kDeviceEthernet = 1;
constexpr uint kDeviceModem = 8;
constexpr uint kDeviceAdsl = 12;
constexpr uint kDevicePpp = 23;

bool sameStatus(const DialStatus &a, int state, const QString &type) {
    return a.state == state && a.deviceType == type;
}

// The service under test on the rig's bus, waited for until its first view is loaded.
struct NmFixture : ::testing::Test {
    void SetUp() override {
        if (!rig.error().isEmpty()) GTEST_SKIP() << qPrintable(rig.error());
        service = std::make_unique<NmDialupService>(rig.connect(QStringLiteral("svc")));
        ASSERT_TRUE(waitFor([this] { return service->activeConnections().has_value(); }));
    }
    QStringList handles() {
        return service->activeConnections().value_or(QStringList{QStringLiteral("nullopt")});
    }
    bool waitStatus(const QString &handle, int state, const QString &type) {
        return waitFor([&] { return sameStatus(service->connectionStatus(handle), state, type); });
    }

    NmMockRig rig;
    std::unique_ptr<NmDialupService> service;
};

} // namespace

TEST(NmDialupMapping, StatesTypesAndDeviceTexts) {
    struct StateRow {
        uint active, device;
        int code;
    };
    const StateRow states[] = {
        {2, 100, DialState::Connected},
        {2, 30, DialState::Connected},
        {1, 40, DialState::ConnectDevice},
        {1, 50, DialState::ConnectDevice},
        {1, 60, DialState::Authenticate},
        {1, 70, DialState::Authenticate},
        {1, 80, 0},
        {1, 100, 0},
        {1, 30, 0},
        {3, 40, 0},
        {4, 100, 0},
        {0, 0, 0},
    };
    for (const StateRow &r : states)
        EXPECT_EQ(NmDialupService::stateCode(r.active, r.device), r.code) << r.active << "/" << r.device;

    struct TypeRow {
        const char *type;
        uint device;
        bool dialup;
        const char *text;
    };
    const TypeRow types[] = {
        {"gsm", kDeviceEthernet, true, "modem"},
        {"cdma", 0, true, "modem"},
        {"bluetooth", 5, true, "modem"},
        {"pppoe", kDeviceEthernet, true, "PPPoE"},
        {"adsl", 0, true, "ADSL"},
        {"802-3-ethernet", kDeviceModem, true, "modem"},
        {"generic", kDevicePpp, true, "PPPoE"},
        {"", kDeviceAdsl, true, "ADSL"},
        {"802-3-ethernet", kDeviceEthernet, false, ""},
        {"802-11-wireless", 2, false, ""},
        {"vpn", 0, false, ""},
    };
    for (const TypeRow &r : types) {
        const QString type = QString::fromLatin1(r.type);
        EXPECT_EQ(NmDialupService::isDialup(type, r.device), r.dialup) << r.type << "/" << r.device;
        if (r.dialup) {
            EXPECT_EQ(NmDialupService::deviceTypeText(type, r.device), QLatin1String(r.text)) << r.type;
        }
    }
}

TEST_F(NmFixture, ModemDialsAuthenticatesConnectsAndHangsUp) {
    EXPECT_EQ(handles(), QStringList());
    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), kDeviceModem);
    rig.setProperty(modem, QStringLiteral("org.freedesktop.NetworkManager.Device"), QStringLiteral("IpInterface"),
                    QStringLiteral("ppp0"));
    const QString settings = rig.addConnection(QStringLiteral("gsm"), QStringLiteral("Dial"));
    const QString active = rig.activate(modem, settings, QStringLiteral("dial0"), 1, 40);
    ASSERT_FALSE(active.isEmpty());

    ASSERT_TRUE(waitFor([&] { return handles() == QStringList{active}; }));
    EXPECT_TRUE(waitStatus(active, DialState::ConnectDevice, QStringLiteral("modem")));
    rig.setDeviceState(modem, 50);
    rig.setDeviceState(modem, 60);
    EXPECT_TRUE(waitStatus(active, DialState::Authenticate, QStringLiteral("modem")));
    rig.setDeviceState(modem, 70);
    rig.setDeviceState(modem, 80); // checking the IP link: neither dialling nor connected
    EXPECT_TRUE(waitStatus(active, 0, QStringLiteral("modem")));
    rig.setDeviceState(modem, 100);
    rig.setActiveState(active, 2);
    EXPECT_TRUE(waitStatus(active, DialState::Connected, QStringLiteral("modem")));
    // The connection log names the connection and reads the traffic of its interface.
    const DialStatus up = service->connectionStatus(active);
    EXPECT_EQ(up.name, QStringLiteral("Dial"));
    EXPECT_EQ(up.interfaceName, QStringLiteral("ppp0"));

    rig.deactivate(modem, active);
    EXPECT_TRUE(waitFor([&] { return handles().isEmpty(); }));
    EXPECT_EQ(service->connectionStatus(active).state, 0);
}

TEST_F(NmFixture, HangUpDeactivatesTheActiveConnection) {
    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), kDeviceModem);
    const QString active = rig.activate(modem, rig.addConnection(QStringLiteral("gsm"), QStringLiteral("Dial")),
                                        QStringLiteral("dial0"), 2);
    ASSERT_TRUE(waitFor([&] { return handles() == QStringList{active}; }));
    QString why;
    EXPECT_FALSE(service->hangUp(QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/999"), why));
    EXPECT_FALSE(why.isEmpty());
    ASSERT_TRUE(service->hangUp(active, why));
    EXPECT_TRUE(waitFor([&] { return handles().isEmpty(); }));
}

TEST_F(NmFixture, ListsOnlyDialupConnectionsInTheManagersOrder) {
    const QString eth = rig.addDevice(QStringLiteral("eth0"), kDeviceEthernet);
    const QString wired =
        rig.activate(eth, rig.addConnection(QStringLiteral("802-3-ethernet"), QStringLiteral("Wired")),
                     QStringLiteral("a0"), 2);
    const QString eth1 = rig.addDevice(QStringLiteral("eth1"), kDeviceEthernet);
    const QString pppoe = rig.activate(
        eth1, rig.addConnection(QStringLiteral("pppoe"), QStringLiteral("DSL")), QStringLiteral("a1"), 2);
    const QString adslDev = rig.addDevice(QStringLiteral("atm0"), kDeviceAdsl);
    const QString adsl =
        rig.activate(adslDev, rig.addConnection(QStringLiteral("generic"), QStringLiteral("Line")),
                     QStringLiteral("a2"), 1, 40);
    ASSERT_FALSE(wired.isEmpty());

    ASSERT_TRUE(waitFor([&] {
        return handles() == QStringList({pppoe, adsl});
    })) << qPrintable(handles().join(' '));
    EXPECT_TRUE(waitStatus(pppoe, DialState::Connected, QStringLiteral("PPPoE")));
    EXPECT_TRUE(waitStatus(adsl, DialState::ConnectDevice, QStringLiteral("ADSL")));
    // The wired connection is not dial-up, even though it is connected and listed first.
    EXPECT_FALSE(handles().contains(wired));
}

TEST_F(NmFixture, OnlyTheFirstDialupConnectionCounts) {
    const QString m1 = rig.addDevice(QStringLiteral("ttyUSB0"), kDeviceModem);
    const QString m2 = rig.addDevice(QStringLiteral("ttyUSB1"), kDeviceModem);
    const QString first = rig.activate(m1, rig.addConnection(QStringLiteral("gsm"), QStringLiteral("One")),
                                       QStringLiteral("c0"), 1, 100);
    const QString second = rig.activate(m2, rig.addConnection(QStringLiteral("cdma"), QStringLiteral("Two")),
                                        QStringLiteral("c1"), 2);
    ASSERT_TRUE(waitFor([&] { return handles() == QStringList({first, second}); }));
    ASSERT_TRUE(waitStatus(second, DialState::Connected, QStringLiteral("modem")));

    test::RecordingView view;
    Platform p;
    p.dialup = std::shared_ptr<DialupService>(service.get(), [](DialupService *) {});
    Meter meter(p, view);
    EXPECT_FALSE(meter.probeConnection());
    EXPECT_EQ(meter.s.statusSuffix, QString());

    rig.setActiveState(first, 2);
    ASSERT_TRUE(waitStatus(first, DialState::Connected, QStringLiteral("modem")));
    EXPECT_TRUE(meter.probeConnection());
    EXPECT_EQ(meter.s.statusSuffix, QStringLiteral(" (modem)"));
}

TEST_F(NmFixture, ServiceThatVanishesReadsAsNoConnectionAndIsFollowedBack) {
    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), kDeviceModem);
    const QString active = rig.activate(
        modem, rig.addConnection(QStringLiteral("gsm"), QStringLiteral("Dial")), QStringLiteral("d0"), 2);
    ASSERT_TRUE(waitFor([&] { return handles() == QStringList{active}; }));
    EXPECT_TRUE(service->serviceOwned());

    rig.stopMock();
    EXPECT_TRUE(waitFor([&] { return !service->serviceOwned(); }));
    EXPECT_FALSE(service->activeConnections().has_value());
    EXPECT_EQ(service->connectionStatus(active).state, 0);

    ASSERT_TRUE(rig.startMock());
    EXPECT_TRUE(waitFor([&] { return service->serviceOwned() && service->activeConnections().has_value(); }));
    EXPECT_EQ(handles(), QStringList());
    // The restarted service's signals are heard as well.
    const QString again = rig.activate(rig.addDevice(QStringLiteral("ttyUSB1"), kDeviceModem),
                                       rig.addConnection(QStringLiteral("cdma"), QStringLiteral("Again")),
                                       QStringLiteral("d1"), 1, 40);
    EXPECT_TRUE(waitFor([&] { return handles() == QStringList{again}; }));
    EXPECT_TRUE(waitStatus(again, DialState::ConnectDevice, QStringLiteral("modem")));
}

// A NetworkManager that stops answering must never hold up the meter's tick; after a short while
// its last view is no longer trusted, and once it answers again the view is back.
TEST_F(NmFixture, ServiceThatStopsAnsweringNeverStretchesATick) {
    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), kDeviceModem);
    const QString active = rig.activate(
        modem, rig.addConnection(QStringLiteral("gsm"), QStringLiteral("Dial")), QStringLiteral("h0"), 2);
    ASSERT_TRUE(waitStatus(active, DialState::Connected, QStringLiteral("modem")));

    qint64 worstNs = 0, totalNs = 0, ticks = 0;
    auto tick = [&] {
        QElapsedTimer t;
        t.start();
        const std::optional<QStringList> list = service->activeConnections();
        if (list && !list->isEmpty()) service->connectionStatus(list->first());
        const qint64 ns = t.nsecsElapsed();
        worstNs = std::max(worstNs, ns);
        totalNs += ns;
        ++ticks;
        return !list.has_value();
    };
    rig.pauseMock();
    const bool distrusted = waitFor(tick, 8000);
    rig.resumeMock();
    EXPECT_TRUE(distrusted);
    // The bound is the meter's: a tick must stay well inside its one second.
    EXPECT_LT(worstNs, 250'000'000);
    std::cout << "[ tick cost ] " << ticks << " ticks against a paused service: mean "
              << totalNs / std::max<qint64>(1, ticks) << " ns, worst " << worstNs << " ns\n";

    EXPECT_TRUE(waitFor([&] { return handles() == QStringList{active}; }, 8000));
    EXPECT_EQ(service->connectionStatus(active).state, DialState::Connected);
}

// NetworkManager may list an active connection whose object cannot be read yet (or whose read
// goes unanswered); the connection must be read again rather than be left out for good.
TEST_F(NmFixture, ConnectionThatCouldNotBeReadIsReadAgain) {
    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), kDeviceModem);
    const QString late = QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/late");
    rig.listActive({late});
    waitFor([] { return false; }, 300);
    EXPECT_EQ(handles(), QStringList());
    ASSERT_TRUE(
        rig.python(QStringLiteral("mock.AddObject('%1', 'org.freedesktop.NetworkManager.Connection.Active', "
                                  "{'Type': 'gsm', 'State': dbus.UInt32(2), "
                                  "'Devices': dbus.Array(['%2'], signature='o')}, [])")
                       .arg(late, modem)));
    EXPECT_TRUE(waitFor([&] { return handles() == QStringList{late}; }));
    EXPECT_TRUE(waitStatus(late, DialState::Connected, QStringLiteral("modem")));
}
