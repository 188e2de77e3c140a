#include "platform/linux/pppdialupservice.h"
#include "support/tempdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tarv;

namespace {

// A temporary tree that stands for "/": network interfaces, pid files and processes.
struct Tree {
    QTemporaryDir dir;
    PppDialupService service{dir.path()};

    void file(const QString &relative, const QByteArray &bytes) {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        test::writeFile(path, bytes);
    }
    // An interface with its sysfs flags (hex text) and operational state.
    void interface(const QString &name, const QByteArray &flags, const QByteArray &operstate = "unknown") {
        file("sys/class/net/" + name + "/flags", flags + "\n");
        file("sys/class/net/" + name + "/operstate", operstate + "\n");
    }
    // A running process with these arguments.
    void process(qint64 pid, const QList<QByteArray> &args) {
        QByteArray cmdline;
        for (const QByteArray &a : args)
            cmdline += a + '\0';
        file(QStringLiteral("proc/%1/cmdline").arg(pid), cmdline);
    }
    QStringList handles() {
        return service.activeConnections().value_or(QStringList{QStringLiteral("nullopt")});
    }
};

const QByteArray kUp = "0x1091";   // up, point-to-point, no ARP, multicast
const QByteArray kDown = "0x1090"; // the same, not up

} // namespace

TEST(PppDialup, NoLinksAtAll) {
    Tree t;
    EXPECT_EQ(t.handles(), QStringList());
    t.interface("eth0", kUp, "up");
    t.interface("lo", "0x9");
    EXPECT_EQ(t.handles(), QStringList());
    EXPECT_EQ(t.service.connectionStatus(QStringLiteral("ppp0")).state, 0);
}

TEST(PppDialup, InterfacesInNumericOrderThenPppdsWithoutOne) {
    Tree t;
    t.interface("ppp10", kUp);
    t.interface("ppp2", kUp);
    t.interface("eth0", kUp, "up");
    // A pppd still dialling: its link's pid file has no interface line yet.
    t.process(4321, {"/usr/sbin/pppd", "call", "provider"});
    t.file("run/ppp-provider.pid", "4321\n");
    // A pid file left behind by a pppd that is gone names nothing.
    t.file("var/run/ppp-old.pid", "999\n");
    EXPECT_EQ(t.handles(), QStringList({"ppp2", "ppp10", "pppd:4321"}));
    EXPECT_EQ(t.service.connectionStatus(QStringLiteral("pppd:4321")).state, DialState::ConnectDevice);
    EXPECT_EQ(t.service.connectionStatus(QStringLiteral("pppd:999")).state, 0);
}

TEST(PppDialup, StateFollowsTheInterfaceAndItsPppd) {
    struct Row {
        const char *what;
        QByteArray flags, operstate, carrier;
        bool pppd;
        int state;
    };
    const Row rows[] = {
        {"up, operstate unknown", kUp, "unknown", "", false, DialState::Connected},
        {"up, operstate up", kUp, "up", "1", true, DialState::Connected},
        {"running flag set", "0x10d1", "down", "", false, DialState::Connected},
        {"up but not running", kUp, "down", "", true, DialState::ConnectDevice},
        {"up, no carrier", kUp, "unknown", "0", false, 0},
        {"down, pppd runs", kDown, "down", "", true, DialState::ConnectDevice},
        {"down, no pppd", kDown, "down", "", false, 0},
        {"unreadable flags, pppd runs", "", "unknown", "", true, DialState::ConnectDevice},
    };
    for (const Row &r : rows) {
        Tree t;
        t.interface("ppp0", r.flags, r.operstate);
        if (!r.carrier.isEmpty()) t.file("sys/class/net/ppp0/carrier", r.carrier + "\n");
        if (r.pppd) {
            t.process(77, {"pppd", "/dev/ttyUSB0", "115200"});
            t.file("run/ppp0.pid", "77\n");
        }
        EXPECT_EQ(t.handles(), QStringList{"ppp0"}) << r.what;
        const DialStatus s = t.service.connectionStatus(QStringLiteral("ppp0"));
        EXPECT_EQ(s.state, r.state) << r.what;
        EXPECT_EQ(s.deviceType, r.state ? QStringLiteral("modem") : QString()) << r.what;
        EXPECT_EQ(s.interfaceName, r.state == DialState::Connected ? QStringLiteral("ppp0") : QString()) << r.what;
    }
}

TEST(PppDialup, LinkPidFileJoinsItsInterface) {
    Tree t;
    t.interface("ppp0", kDown, "down");
    t.process(500, {"pppd", "call", "isp"});
    t.file("var/run/ppp-isp.pid", "500\nppp0\n");
    t.file("run/ppp-isp.pid", "500\nppp0\n"); // the same file seen through /var/run
    EXPECT_EQ(t.handles(), QStringList{"ppp0"});
    EXPECT_EQ(t.service.connectionStatus(QStringLiteral("ppp0")).state, DialState::ConnectDevice);

    // A pid file that names an interface the kernel has not made yet: still dialling.
    Tree u;
    u.process(600, {"pppd"});
    u.file("run/ppp3.pid", "600\n");
    EXPECT_EQ(u.handles(), QStringList{"pppd:600"});
    EXPECT_EQ(u.service.connectionStatus(QStringLiteral("pppd:600")).state, DialState::ConnectDevice);
}

TEST(PppDialup, DeviceTypeIsPppoeForPppoeLinks) {
    const QByteArray sessions = "Id       Address              Device\n"
                                "00001A2B 00:11:22:33:44:55     eth0\n";
    struct Row {
        const char *what;
        QList<QByteArray> cmdline;
        bool withSessions;
        const char *type;
    };
    const Row rows[] = {
        {"pppoe plugin", {"pppd", "plugin", "rp-pppoe.so", "eth1"}, false, "PPPoE"},
        {"session on the named device", {"pppd", "nic-eth0", "user", "x"}, true, "PPPoE"},
        {"peers file, session present", {"/usr/sbin/pppd", "call", "dsl-provider"}, true, "PPPoE"},
        {"modem line, session elsewhere", {"pppd", "/dev/ttyACM0", "call", "gprs"}, true, "modem"},
        {"modem, no sessions", {"pppd", "call", "provider"}, false, "modem"},
    };
    for (const Row &r : rows) {
        Tree t;
        t.interface("ppp0", kUp);
        t.process(90, r.cmdline);
        t.file("run/ppp0.pid", "90\n");
        if (r.withSessions) t.file("proc/net/pppoe", sessions);
        const DialStatus s = t.service.connectionStatus(QStringLiteral("ppp0"));
        EXPECT_EQ(s.state, DialState::Connected) << r.what;
        EXPECT_EQ(s.deviceType, QLatin1String(r.type)) << r.what;
    }
    // Without a known pppd, a PPPoE session on the machine decides.
    Tree t;
    t.interface("ppp0", kUp);
    t.file("proc/net/pppoe", sessions);
    EXPECT_EQ(t.service.connectionStatus(QStringLiteral("ppp0")).deviceType, QStringLiteral("PPPoE"));
}

TEST(PppDialup, StandaloneLinksLeaveOutUnknownAndManagedPppds) {
    Tree t;
    t.interface("ppp0", kUp); // no pid file: its pppd is unknown
    t.interface("ppp1", kUp);
    t.process(11, {"/usr/sbin/pppd", "nodetach", "plugin", "/usr/lib/pppd/2.4.9/nm-pppd-plugin.so"});
    t.file("run/ppp1.pid", "11\n");
    t.interface("ppp2", kUp);
    t.process(12, {"pppd", "call", "provider"});
    t.file("run/ppp2.pid", "12\n");
    EXPECT_EQ(t.handles(), QStringList({"ppp0", "ppp1", "ppp2"}));
    EXPECT_EQ(t.service.standaloneConnections(), QStringList{"ppp2"});
}
