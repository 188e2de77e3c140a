#include "platform/linux/nmdialupservice.h"
#include "platform/linux/pppdialupservice.h"
#include "platform/linux/systemdialupservice.h"
#include "platform/nmmockrig.h"
#include "support/tempdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::NmMockRig;
using tarv::test::waitFor;

namespace {

void put(const QTemporaryDir &dir, const QString &relative, const QByteArray &bytes) {
    const QString path = dir.filePath(relative);
    QDir().mkpath(QFileInfo(path).path());
    test::writeFile(path, bytes);
}

// A connected ppp0 whose pppd was started with these arguments.
void pppLink(const QTemporaryDir &dir, const QByteArray &cmdline) {
    put(dir, "sys/class/net/ppp0/flags", "0x1091\n");
    put(dir, "sys/class/net/ppp0/operstate", "unknown\n");
    put(dir, "proc/321/cmdline", cmdline);
    put(dir, "run/ppp0.pid", "321\n");
}

} // namespace

TEST(SystemDialup, ChoosesNetworkManagerWhileItsNameIsOwnedElsePppd) {
    NmMockRig rig;
    if (!rig.error().isEmpty()) GTEST_SKIP() << qPrintable(rig.error());
    QTemporaryDir root;
    pppLink(root, QByteArray("/usr/sbin/pppd\0plugin\0nm-pppd-plugin.so\0", 41));
    auto nm = std::make_shared<NmDialupService>(rig.connect(QStringLiteral("svc")));
    SystemDialupService system(nm, std::make_shared<PppDialupService>(root.path()));
    ASSERT_TRUE(waitFor([&] { return nm->activeConnections().has_value(); }));

    // NetworkManager runs and lists nothing: its own pppd's link is not reported twice.
    EXPECT_EQ(system.activeConnections(), std::optional<QStringList>(QStringList()));

    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), 8);
    const QString active = rig.activate(
        modem, rig.addConnection(QStringLiteral("gsm"), QStringLiteral("Dial")), QStringLiteral("s0"), 2);
    ASSERT_TRUE(waitFor(
        [&] { return system.activeConnections() == std::optional<QStringList>(QStringList{active}); }));
    EXPECT_EQ(system.connectionStatus(active).state, DialState::Connected);

    // NetworkManager leaves the bus: every ppp link is pppd's.
    rig.stopMock();
    ASSERT_TRUE(waitFor([&] { return !nm->serviceOwned(); }));
    EXPECT_EQ(system.activeConnections(), std::optional<QStringList>(QStringList{QStringLiteral("ppp0")}));
    const DialStatus s = system.connectionStatus(QStringLiteral("ppp0"));
    EXPECT_EQ(s.state, DialState::Connected);
    EXPECT_EQ(s.deviceType, QStringLiteral("modem"));

    ASSERT_TRUE(rig.startMock());
    EXPECT_TRUE(
        waitFor([&] { return system.activeConnections() == std::optional<QStringList>(QStringList()); }));
}

TEST(SystemDialup, PppdDialledByHandIsSeenWhileNetworkManagerRuns) {
    NmMockRig rig;
    if (!rig.error().isEmpty()) GTEST_SKIP() << qPrintable(rig.error());
    QTemporaryDir root;
    pppLink(root, QByteArray("pppd\0call\0provider\0", 19));
    auto nm = std::make_shared<NmDialupService>(rig.connect(QStringLiteral("svc")));
    SystemDialupService system(nm, std::make_shared<PppDialupService>(root.path()));
    ASSERT_TRUE(waitFor([&] { return nm->activeConnections().has_value(); }));
    EXPECT_EQ(system.activeConnections(), std::optional<QStringList>(QStringList{QStringLiteral("ppp0")}));
    EXPECT_EQ(system.connectionStatus(QStringLiteral("ppp0")).state, DialState::Connected);
}

TEST(SystemDialup, NoBusAndNoPppdIsNoConnection) {
    QTemporaryDir root;
    SystemDialupService system(nullptr, std::make_shared<PppDialupService>(root.path()));
    EXPECT_EQ(system.activeConnections(), std::optional<QStringList>(QStringList()));
    EXPECT_EQ(system.connectionStatus(QStringLiteral("ppp0")).state, 0);
    SystemDialupService nothing(nullptr, nullptr);
    EXPECT_FALSE(nothing.activeConnections().has_value());
}
