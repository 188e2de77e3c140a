// `tarv --status --watch` against the real program and a mock NetworkManager: a line at start,
// lines that follow going on line, the charged units and going off line, a wait while the
// program is gone, and the end of the watch when its output closes. The watch maps no GUI library.

#include "e2e_program.h"
#include "framework/textformat.h"
#include "platform/nmmockrig.h"
#include "support/tempdir.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::NmMockRig;
using tarv::test::waitFor;

namespace {

// The watch's json lines as they come.
struct Lines {
    QProcess &process;
    QList<QJsonObject> seen;
    void read() {
        while (process.canReadLine()) seen << QJsonDocument::fromJson(process.readLine()).object();
    }
    // Waits for a line that satisfies pred, past those already seen.
    bool waitFor(const std::function<bool(const QJsonObject &)> &pred, int timeoutMs, qsizetype from = 0) {
        return test::waitFor(
            [&] {
                read();
                for (qsizetype i = from; i < seen.size(); ++i)
                    if (pred(seen[i])) return true;
                return false;
            },
            timeoutMs);
    }
};

bool mapsGuiLibrary(qint64 pid, QString &which) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray &line : maps.readAll().split('\n'))
        for (const char *library : {"libQt6Gui", "libQt6Widgets", "libQt6DBus", "libQt6Network", "libQt6WebEngine",
                                    "libQt6Charts", "tarvchart"})
            if (line.contains(library)) {
                which = QString::fromUtf8(line);
                return true;
            }
    return false;
}

} // namespace

TEST(E2eWatch, FollowsTheMeterWaitsForTheProgramAndEndsWithItsOutput) {
    const QDateTime started = QDateTime::currentDateTime();
    if (started.time() > QTime(23, 58)) GTEST_SKIP() << "too close to midnight for a one-day ledger";
    NmMockRig rig;
    if (!rig.error().isEmpty()) GTEST_SKIP() << qPrintable(rig.error());

    QTemporaryDir appDir, homeDir, runtimeDir;
    const QString exe = test::copyProgram(appDir);
    ASSERT_FALSE(exe.isEmpty());
    QFile::setPermissions(runtimeDir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const int unit = (started.time().hour() >= 8 && started.time().hour() < 22) ? 2 : 3;
    test::writeFile(appDir.filePath(QStringLiteral("data.dat")),
                    test::oneDayLedger("8|22|2|3|9|\xC4\xF1\xF7", started.date(), "0027,000"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), rig.address());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), homeDir.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), homeDir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), homeDir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), homeDir.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("LANG"), QStringLiteral("el_GR.UTF-8"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.insert(QStringLiteral("TARV_MAKER_URL"), QStringLiteral("http://127.0.0.1:9/"));
    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), 8);
    const QString settings = rig.addConnection(QStringLiteral("gsm"), QStringLiteral("ISP"));

    // The watch starts first: one line saying that no program runs, then it waits.
    QProcess watch;
    watch.setProcessEnvironment(env);
    watch.start(exe, {QStringLiteral("--status"), QStringLiteral("--watch"), QStringLiteral("--format"),
                      QStringLiteral("json")});
    ASSERT_TRUE(watch.waitForStarted(5000));
    auto stopWatch = qScopeGuard([&] {
        watch.kill();
        watch.waitForFinished(5000);
    });
    Lines lines{watch, {}};
    ASSERT_TRUE(lines.waitFor([](const QJsonObject &o) { return o.value(QStringLiteral("running")) == false; }, 10000));
    QString gui;
    EXPECT_FALSE(mapsGuiLibrary(watch.processId(), gui)) << qPrintable(gui);

    auto startProgram = [&](QProcess &program) {
        program.setProcessEnvironment(env);
        program.setStandardOutputFile(homeDir.filePath(QStringLiteral("tarv.log")));
        program.setStandardErrorFile(homeDir.filePath(QStringLiteral("tarv.err")));
        program.start(exe, {});
        return program.waitForStarted(5000);
    };
    QProcess program;
    ASSERT_TRUE(startProgram(program));
    auto stopProgram = qScopeGuard([&] {
        program.kill();
        program.waitForFinished(5000);
    });

    // The program's first line: off line, today's 27 from the ledger.
    auto offline = [](const QJsonObject &o) {
        return o.value(QStringLiteral("online")) == false && o.value(QStringLiteral("today")).toDouble() == 27 &&
               o.value(QStringLiteral("status")).toString().startsWith(QStringLiteral("Σύνδεση"));
    };
    ASSERT_TRUE(lines.waitFor(offline, 30000)) << "no off-line line from the program";
    // Off line nothing changes, so nothing more comes.
    const qsizetype idle = lines.seen.size();
    test::waitFor([] { return false; }, 2500);
    lines.read();
    EXPECT_EQ(lines.seen.size(), idle) << "lines while nothing changed";

    // On line: the first unit at once, the second one unit later, a line every second between.
    const QString active = rig.activate(modem, settings, QStringLiteral("isp0"), 2);
    ASSERT_FALSE(active.isEmpty());
    auto costs = [](double cost) {
        return [cost](const QJsonObject &o) {
            return o.value(QStringLiteral("online")) == true && o.value(QStringLiteral("cost")).toDouble() == cost &&
                   o.value(QStringLiteral("today")).toDouble() == 27 + cost;
        };
    };
    ASSERT_TRUE(lines.waitFor(costs(9), 15000, idle)) << "the first unit did not show";
    ASSERT_TRUE(lines.waitFor(costs(18), 3000 + unit * 1000, idle)) << "the second unit did not show";
    const qsizetype online = lines.seen.size();
    test::waitFor([] { return false; }, 3200);
    lines.read();
    EXPECT_GE(lines.seen.size() - online, 2) << "no line a second while on line";
    EXPECT_LE(lines.seen.size() - online, 5) << "more than a line a second while on line";
    EXPECT_EQ(lines.seen.last().value(QStringLiteral("zone")).toString(), unit == 2 ? QStringLiteral("A") : QStringLiteral("B"));

    // Off line again.
    const qsizetype before = lines.seen.size();
    rig.deactivate(modem, active);
    auto off = [](const QJsonObject &o) { return o.value(QStringLiteral("online")) == false; };
    ASSERT_TRUE(lines.waitFor(off, 5000, before)) << "going off line did not show";

    // The program ends: one line says so; it comes back: its lines come again.
    program.kill();
    program.waitForFinished(5000);
    const qsizetype ended = lines.seen.size();
    ASSERT_TRUE(lines.waitFor([](const QJsonObject &o) { return o.value(QStringLiteral("running")) == false; }, 5000,
                              ended));
    QProcess again;
    ASSERT_TRUE(startProgram(again));
    auto stopAgain = qScopeGuard([&] {
        again.kill();
        again.waitForFinished(5000);
    });
    ASSERT_TRUE(lines.waitFor([](const QJsonObject &o) { return o.contains(QStringLiteral("today")); }, 30000, ended))
        << "the watch did not follow the program's return";

    // Its reader goes away (head takes one line and ends): the watch ends by itself, though
    // off line nothing more is written to it.
    QProcess piped;
    piped.setProcessEnvironment(env);
    piped.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("\"$0\" --status --watch | head -n 1"), exe});
    EXPECT_TRUE(piped.waitForFinished(10000)) << "the watch outlived its output";
    const QString first = QString::fromUtf8(piped.readAllStandardOutput());
    EXPECT_TRUE(first.startsWith(QStringLiteral("offline | "))) << qPrintable(first);
}

TEST(E2eWatch, AStartThatCannotClaimTheLedgerSaysWhyAndShowsIt) {
    // The folder for the lock and the socket is a link another user could have planted.
    QTemporaryDir appDir, homeDir, runtimeDir, elsewhere;
    const QString exe = test::copyProgram(appDir);
    ASSERT_FALSE(exe.isEmpty());
    QFile::setPermissions(runtimeDir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(QFile::link(elsewhere.path(), runtimeDir.filePath(QStringLiteral("tarv"))));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), homeDir.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), homeDir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("LANG"), QStringLiteral("el_GR.UTF-8"));
    env.insert(QStringLiteral("TARV_MAKER_URL"), QStringLiteral("http://127.0.0.1:9/"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(exe, {});
    ASSERT_TRUE(program.waitForStarted(5000));
    auto stop = qScopeGuard([&] {
        program.kill();
        program.waitForFinished(5000);
    });
    QByteArray err;
    EXPECT_TRUE(waitFor([&] {
        err += program.readAllStandardError();
        return err.contains("tarv: ");
    }, 15000));
    EXPECT_TRUE(QString::fromUtf8(err).contains(QStringLiteral("δεν είναι φάκελος"))) << err.constData();
    // The same message waits in a box for the user (the program ends once it is closed), and the
    // program has not taken the ledger meanwhile.
    EXPECT_EQ(program.state(), QProcess::Running);
    EXPECT_FALSE(QFile::exists(appDir.filePath(QStringLiteral("data.dat"))));
}
