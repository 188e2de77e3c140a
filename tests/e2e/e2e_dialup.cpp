// The real program against a mock NetworkManager on a private bus: a dial-up connection that
// appears is charged at once and then at every multiple of the seconds per unit, nothing more is
// written once it is gone, an error box left open does not stop the charging, and units that fall
// due while the program is stopped are charged when it goes on.

#include "calls/callrow.h"
#include "e2e_program.h"
#include "framework/textformat.h"
#include "platform/nmmockrig.h"
#include "support/tempdir.h"

#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
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

// The program started from a folder of its own (it keeps its ledger beside itself) with a
// ledger of 2 s units in zone A and 3 s in zone B, and a modem with a saved connection.
struct Program {
    NmMockRig rig;
    QTemporaryDir appDir, homeDir;
    QProcess process;
    QDate day; // the ledger's day
    QByteArray key;
    QString ledgerPath;
    QString modem, settings;
    int unit = 0;

    // Empty when the program runs and is ready to see a connection; otherwise why not.
    QString start() {
        const QDateTime started = QDateTime::currentDateTime();
        if (started.time() > QTime(23, 58))
            return QStringLiteral("too close to midnight for a one-day ledger");
        if (!rig.error().isEmpty()) return rig.error();
        const QString exe = test::copyProgram(appDir);
        if (exe.isEmpty()) return QStringLiteral("cannot copy the program");

        unit = (started.time().hour() >= 8 && started.time().hour() < 22) ? 2 : 3;
        day = started.date();
        key = fmt::dayKey(day).toLatin1();
        ledgerPath = appDir.filePath(QStringLiteral("data.dat"));
        test::writeFile(ledgerPath, goodLedger());
        modem = rig.addDevice(QStringLiteral("ttyUSB0"), 8);
        settings = rig.addConnection(QStringLiteral("gsm"), QStringLiteral("ISP"));
        if (settings.isEmpty()) return QStringLiteral("no saved connection");

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
        // The banner and the vendor menu go to a port on this machine where nothing listens, so
        // no request or name lookup leaves the machine.
        env.insert(QStringLiteral("TARV_MAKER_URL"), QStringLiteral("http://127.0.0.1:9/"));
        process.setProcessEnvironment(env);
        process.setProgram(exe);
        process.setStandardOutputFile(homeDir.filePath(QStringLiteral("tarv.log")));
        process.setStandardErrorFile(homeDir.filePath(QStringLiteral("tarv.err")));
        process.start();
        if (!process.waitForStarted(5000)) return QStringLiteral("the program did not start");

        // Ready once it is on the bus and has loaded its view.
        const uint pid = uint(process.processId());
        auto onBus = [&] {
            const QStringList names = rig.driver().interface()->registeredServiceNames().value();
            for (const QString &name : names)
                if (name.startsWith(QLatin1Char(':')) &&
                    rig.driver().interface()->servicePid(name).value() == pid)
                    return true;
            return false;
        };
        if (!waitFor(onBus, 30000)) return QStringLiteral("the program never connected to the system bus");
        waitFor([] { return false; }, 3000);
        return process.state() == QProcess::Running ? QString() : QStringLiteral("the program ended");
    }

    ~Program() {
        process.kill();
        process.waitForFinished(5000);
    }

    QByteArray goodLedger() const {
        // "Δρχ" in code page 1253.
        return test::oneDayLedger("8|22|2|3|9|\xC4\xF1\xF7", day, "0000,000");
    }
    QByteArray amount() const { return amountOf(readFile(ledgerPath), key); }
};

// Records every change of the day's amount, with the time since the watch began.
struct Watch {
    explicit Watch(const Program &p) : program(p) { since.start(); }
    bool operator()() {
        const QByteArray now = program.amount();
        if (!now.isEmpty() && now != last) {
            writes.push_back({since.elapsed(), now});
            last = now;
        }
        return false;
    }
    // Watches until ms after the first write (or for timeoutMs if there is none).
    void untilAfterFirst(qint64 ms, int timeoutMs) {
        waitFor(
            [&] {
                (*this)();
                return !writes.isEmpty() && since.elapsed() >= writes.first().atMs + ms;
            },
            timeoutMs);
    }
    const Program &program;
    QElapsedTimer since;
    QList<Write> writes;
    QByteArray last = "0000,000";
};

// Every write is a unit of 9 more, and the units come exactly one unit's time apart: a unit
// charged twice would come a second after the last, a skipped one two units after it.
void expectEveryUnitOnce(const Watch &watch, int unit) {
    for (int i = 0; i < watch.writes.size(); ++i) {
        const Write &w = watch.writes[i];
        std::cout << "[ ledger ] " << w.amount.constData() << " at " << w.atMs << " ms\n";
        EXPECT_EQ(w.amount, fmt::toCp1253(fmt::ledgerAmount(9.0 * (i + 1)))) << "write " << i;
        if (i == 0) continue;
        const qint64 gap = w.atMs - watch.writes[i - 1].atMs;
        EXPECT_NEAR(gap, unit * 1000, 500) << "gap before write " << i;
    }
}

} // namespace

TEST(E2eDialup, ConnectionIsChargedAtOnceAndAtEveryUnitUntilItEnds) {
    Program p;
    const QString why = p.start();
    if (!why.isEmpty()) GTEST_SKIP() << qPrintable(why);
    EXPECT_EQ(p.amount(), QByteArray("0000,000"));

    // Dial: the connection appears connected and stays up for several units.
    const QString active = p.rig.activate(p.modem, p.settings, QStringLiteral("isp0"), 2);
    ASSERT_FALSE(active.isEmpty());
    Watch watch(p);
    // Four and a half units after the first: that unit and exactly four more, with half a unit
    // of margin on either side of the last.
    watch.untilAfterFirst(4 * p.unit * 1000 + p.unit * 500, 3000 + 5 * p.unit * 1000);
    ASSERT_FALSE(watch.writes.isEmpty()) << "nothing was charged";
    EXPECT_LT(watch.writes[0].atMs, 3000)
        << "the first unit comes with the first tick that sees the connection";
    EXPECT_EQ(watch.writes.size(), 5);
    expectEveryUnitOnce(watch, p.unit);
    const qsizetype charged = watch.writes.size();

    // Hang up: once the program has had a tick to notice, the ledger stays as it is.
    p.rig.deactivate(p.modem, active);
    waitFor([&] { return watch(); }, 1500);
    EXPECT_LE(watch.writes.size(), charged + 1) << "at most the unit that fell due before the tick noticed";
    const QByteArray after = readFile(p.ledgerPath);
    waitFor([] { return false; }, 2 * p.unit * 1000 + 1000);
    EXPECT_EQ(readFile(p.ledgerPath), after);
    EXPECT_EQ(p.process.state(), QProcess::Running);
}

TEST(E2eDialup, AnErrorBoxLeftOpenDoesNotStopTheCharging) {
    Program p;
    const QString why = p.start();
    if (!why.isEmpty()) GTEST_SKIP() << qPrintable(why);
    const QString active = p.rig.activate(p.modem, p.settings, QStringLiteral("isp0"), 2);
    ASSERT_FALSE(active.isEmpty());
    Watch watch(p);
    const qint64 unitMs = p.unit * 1000;
    watch.untilAfterFirst(unitMs / 2, 5000);
    ASSERT_EQ(watch.writes.size(), 1) << "the first unit was not charged";
    const qint64 first = watch.writes.first().atMs;

    // The ledger cannot be written for three units (a folder stands in its place): the first
    // failed write opens an error box from the tick, and nobody closes it.
    QFile::remove(p.ledgerPath);
    ASSERT_TRUE(QDir().mkdir(p.ledgerPath));
    waitFor([&] { return watch.since.elapsed() >= first + 3 * unitMs + unitMs / 2; }, 4 * unitMs);
    ASSERT_TRUE(QDir().rmdir(p.ledgerPath));
    test::writeFile(p.ledgerPath, p.goodLedger().replace("|0000,000", "|0009,000"));

    // With the box still open, the next three units are written, the first of them with the
    // three that could not be.
    watch.untilAfterFirst(6 * unitMs + unitMs / 2, 8 * unitMs);
    ASSERT_EQ(watch.writes.size(), 4) << "units were lost while the box was open";
    EXPECT_EQ(watch.writes[1].amount, QByteArray("0045,000"));
    EXPECT_EQ(watch.writes[3].amount, QByteArray("0063,000"));
    for (int i = 2; i < watch.writes.size(); ++i)
        EXPECT_NEAR(watch.writes[i].atMs - watch.writes[i - 1].atMs, unitMs, 500) << "gap before write " << i;
    p.rig.deactivate(p.modem, active);
    EXPECT_EQ(p.process.state(), QProcess::Running);
}

TEST(E2eDialup, AProgramStoppedAcrossTwoUnitsChargesThemWhenItGoesOn) {
    Program p;
    const QString why = p.start();
    if (!why.isEmpty()) GTEST_SKIP() << qPrintable(why);
    const QString active = p.rig.activate(p.modem, p.settings, QStringLiteral("isp0"), 2);
    ASSERT_FALSE(active.isEmpty());
    Watch watch(p);
    const qint64 unitMs = p.unit * 1000;
    watch.untilAfterFirst(unitMs / 4, 5000);
    ASSERT_EQ(watch.writes.size(), 1) << "the first unit was not charged";
    const qint64 first = watch.writes.first().atMs;

    // Stopped for two units and a quarter, from a quarter unit after the first write to midway
    // between two boundaries: no tick runs while two unit boundaries pass.
    const pid_t pid = pid_t(p.process.processId());
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    waitFor([] { return false; }, int(2 * unitMs + unitMs / 4));
    ASSERT_EQ(::kill(pid, SIGCONT), 0);
    const qint64 continued = watch.since.elapsed();

    // The first tick after it charges both at once; the units after come on time.
    watch.untilAfterFirst(continued - first + 2 * unitMs, int(3 * unitMs));
    ASSERT_GE(watch.writes.size(), 3) << "nothing was charged after the program went on";
    const Write &catchUp = watch.writes[1];
    EXPECT_LT(catchUp.atMs - continued, 1500) << "the first tick after the stop charged nothing";
    // Both units due while it was stopped (and a third, should a busy machine have held it past
    // the next boundary); the writes after it show that none was counted twice.
    EXPECT_GE(catchUp.amount, QByteArray("0027,000")) << "the units due while stopped were not all charged";
    EXPECT_LE(catchUp.amount, QByteArray("0036,000"));
    // Every write since: the amount of every unit due by then, counted from the first.
    for (int i = 2; i < watch.writes.size(); ++i) {
        const Write &w = watch.writes[i];
        const qint64 due = 1 + qRound(double(w.atMs - first) / double(unitMs));
        EXPECT_EQ(w.amount, fmt::toCp1253(fmt::ledgerAmount(9.0 * due))) << "write " << i << " at " << w.atMs;
    }
    p.rig.deactivate(p.modem, active);
    EXPECT_EQ(p.process.state(), QProcess::Running);
}

// Two connections, the second ended by SIGKILL while it is up: after a restart the connection log
// holds one finished row and one interrupted row, each with the units and cost the ledger charged.
TEST(E2eDialup, AKilledProgramLeavesTheConnectionLogWholeAndMarksTheRowInterrupted) {
    Program p;
    const QString why = p.start();
    if (!why.isEmpty()) GTEST_SKIP() << qPrintable(why);
    const QString csvPath = p.appDir.filePath(QStringLiteral("calls.csv"));
    const auto rows = [&] { return calls::parseCsv(readFile(csvPath)); };

    QString active = p.rig.activate(p.modem, p.settings, QStringLiteral("isp0"), 2);
    ASSERT_FALSE(active.isEmpty());
    Watch first(p);
    first.untilAfterFirst(p.unit * 1000 + p.unit * 500, 5000 + 2 * p.unit * 1000);
    p.rig.deactivate(p.modem, active);
    ASSERT_TRUE(waitFor([&] { return rows().size() == 1; }, 5000)) << "the finished row was not written";
    const QByteArray afterFirst = p.amount();

    active = p.rig.activate(p.modem, p.settings, QStringLiteral("isp0"), 2);
    ASSERT_FALSE(active.isEmpty());
    ASSERT_TRUE(waitFor([&] { return p.amount() != afterFirst; }, 5000)) << "the second connection was not charged";
    // Past the next unit's charge and its journal update, then the kill.
    waitFor([] { return false; }, p.unit * 1000 + 500);
    p.process.kill();
    p.process.waitForFinished(5000);
    const QByteArray ledger = p.amount();

    p.process.start();
    ASSERT_TRUE(p.process.waitForStarted(5000));
    ASSERT_TRUE(waitFor([&] { return rows().size() == 2; }, 10000)) << readFile(csvPath).constData();
    const QList<calls::CallRow> r = rows();
    EXPECT_EQ(r[0].state, calls::CallRow::State::Finished);
    EXPECT_EQ(r[1].state, calls::CallRow::State::Interrupted);
    EXPECT_EQ(r[0].name, QStringLiteral("ISP"));
    for (const calls::CallRow &row : r) EXPECT_DOUBLE_EQ(row.cost, 9.0 * row.units);
    // The rows add up to the ledger's amount as the kill left it, or one unit less when the kill
    // fell between the ledger's write and the log's in the same tick.
    const double logged = r[0].cost + r[1].cost;
    EXPECT_TRUE(fmt::toCp1253(fmt::ledgerAmount(logged)) == ledger ||
                fmt::toCp1253(fmt::ledgerAmount(logged + 9)) == ledger)
        << logged << " against " << ledger.constData();
}
