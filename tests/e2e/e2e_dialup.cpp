// The real program against a mock NetworkManager on a private bus: a dial-up connection that
// appears is charged at once and then at every multiple of the seconds per unit, and nothing more
// is written once it is gone.

#include "framework/textformat.h"
#include "platform/nmmockrig.h"
#include "support/tempdir.h"

#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <iostream>

using namespace tarv;
using tarv::test::NmMockRig;
using tarv::test::readFile;
using tarv::test::waitFor;

namespace {

struct Write {
    qint64 atMs;
    QByteArray amount;
};

// The amount of the day's record ("0009,000"), or an empty array when there is none.
QByteArray amountOf(const QByteArray &ledger, const QByteArray &key) {
    const int at = ledger.indexOf("\r\n" + key + '|');
    if (at < 0) return {};
    return ledger.mid(at + 2 + key.size() + 1, 8);
}

} // namespace

TEST(E2eDialup, ConnectionIsChargedAtOnceAndAtEveryUnitUntilItEnds) {
    const QDateTime started = QDateTime::currentDateTime();
    if (started.time() > QTime(23, 58)) GTEST_SKIP() << "too close to midnight for a one-day ledger";
    NmMockRig rig;
    if (!rig.error().isEmpty()) GTEST_SKIP() << qPrintable(rig.error());

    // The program keeps its ledger beside itself, so it runs from a folder of its own.
    QTemporaryDir appDir, homeDir;
    const QString exe = appDir.filePath(QStringLiteral("tarv"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TARV_EXE), exe));
    QFile::setPermissions(exe, QFile::permissions(exe) | QFileDevice::ExeOwner);

    const QByteArray key = fmt::dayKey(started.date()).toLatin1();
    QByteArray header = "8|22|2|3|9|\xC4\xF1\xF7"; // "Δρχ" in code page 1253
    header.append(100 - header.size(), ' ');
    const QString ledgerPath = appDir.filePath(QStringLiteral("data.dat"));
    test::writeFile(ledgerPath, header + "\r\n\r\n" + key + "|0000,000");

    // A modem and its saved connection, not yet dialled.
    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), 8);
    const QString settings = rig.addConnection(QStringLiteral("gsm"), QStringLiteral("ISP"));
    ASSERT_FALSE(settings.isEmpty());

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), rig.address());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), homeDir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), homeDir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), homeDir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), homeDir.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("LANG"), QStringLiteral("el_GR.UTF-8"));
    // Started as root, the program itself switches off what the web engine cannot do there.
    env.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
    // The banner and the vendor menu go to a port on this machine where nothing listens, so no
    // request or name lookup leaves the machine.
    env.insert(QStringLiteral("TARV_MAKER_URL"), QStringLiteral("http://127.0.0.1:9/"));
    program.setProcessEnvironment(env);
    program.setProgram(exe);
    program.setStandardOutputFile(homeDir.filePath(QStringLiteral("tarv.log")));
    program.setStandardErrorFile(homeDir.filePath(QStringLiteral("tarv.err")));
    program.start();
    ASSERT_TRUE(program.waitForStarted(5000));
    auto stopProgram = qScopeGuard([&] {
        program.kill();
        program.waitForFinished(5000);
    });

    // The program is ready to see a connection once it is on the bus and has loaded its view.
    const uint pid = uint(program.processId());
    auto programOnBus = [&] {
        const QStringList names = rig.driver().interface()->registeredServiceNames().value();
        for (const QString &name : names)
            if (name.startsWith(QLatin1Char(':')) &&
                rig.driver().interface()->servicePid(name).value() == pid)
                return true;
        return false;
    };
    ASSERT_TRUE(waitFor(programOnBus, 30000)) << "the program never connected to the system bus";
    waitFor([] { return false; }, 3000);
    ASSERT_EQ(program.state(), QProcess::Running);
    EXPECT_EQ(amountOf(readFile(ledgerPath), key), QByteArray("0000,000"));

    // Dial: the connection appears connected and stays up for several units.
    const int unit = (started.time().hour() >= 8 && started.time().hour() < 22) ? 2 : 3;
    const QString active = rig.activate(modem, settings, QStringLiteral("isp0"), 2);
    ASSERT_FALSE(active.isEmpty());
    QElapsedTimer since;
    since.start();
    QList<Write> writes;
    QByteArray last = "0000,000";
    auto watch = [&] {
        const QByteArray now = amountOf(readFile(ledgerPath), key);
        if (!now.isEmpty() && now != last) {
            writes.push_back({since.elapsed(), now});
            last = now;
        }
        return false;
    };
    // Four units' time after the connection appeared: the unit charged at once and four more.
    const int window = 4 * unit * 1000 + 500;
    waitFor(watch, window);
    ASSERT_FALSE(writes.isEmpty()) << "nothing was charged";
    EXPECT_LT(writes[0].atMs, 3000) << "the first unit comes with the first tick that sees the connection";
    for (int i = 0; i < writes.size(); ++i) {
        const QByteArray expected = fmt::toCp1253(fmt::ledgerAmount(9.0 * (i + 1)));
        EXPECT_EQ(writes[i].amount, expected) << "write " << i << " at " << writes[i].atMs << " ms";
    }
    // The tick runs about once a second and charges when the elapsed whole seconds reach a
    // multiple of the unit. A tick that lands just short of a second boundary repeats or skips
    // one elapsed second, and with it may charge a unit twice or miss one, so the count may be
    // one off the ideal.
    const int ideal = 1 + int((window - writes[0].atMs) / (unit * 1000));
    EXPECT_GE(writes.size(), ideal - 1);
    EXPECT_LE(writes.size(), ideal + 1);
    for (int i = 1; i < writes.size(); ++i) {
        const qint64 gap = writes[i].atMs - writes[i - 1].atMs;
        EXPECT_GE(gap, 800) << "gap before write " << i;
        EXPECT_LE(gap, 2 * unit * 1000 + 1100) << "gap before write " << i;
    }
    const int charged = writes.size();
    for (const Write &w : writes)
        std::cout << "[ ledger ] " << w.amount.constData() << " at " << w.atMs << " ms\n";

    // Hang up: once the program has had a tick to notice, the ledger stays as it is.
    rig.deactivate(modem, active);
    waitFor(watch, 1500);
    EXPECT_LE(writes.size(), charged + 1) << "at most the unit that fell due before the tick noticed";
    const QByteArray after = readFile(ledgerPath);
    waitFor([] { return false; }, 2 * unit * 1000 + 1000);
    EXPECT_EQ(readFile(ledgerPath), after);
    EXPECT_EQ(program.state(), QProcess::Running);
}
