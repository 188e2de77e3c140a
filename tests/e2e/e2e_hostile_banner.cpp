// The real program with the light banner view, its window shown, goes on line against a maker's
// server whose banner is a page of deeply nested tables with picture bombs in it: every unit
// must reach the ledger within a second of its due time, and `tarv --status` keep answering.
#include "e2e_program.h"
#include "framework/textformat.h"
#include "net/scriptedserver.h"
#include "platform/nmmockrig.h"
#include "support/tempdir.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace tarv;
using tarv::test::NmMockRig;
using tarv::test::Peer;
using tarv::test::ScriptedServer;
using tarv::test::waitFor;

namespace {

int runTarv(const QString &exe, const QStringList &args, const QProcessEnvironment &env,
            int timeoutMs = 10000) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(exe, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Twenty levels of tables (seconds of layout each, doubling per level) around four pictures
// whose 3000 by 3000 pixels compress to a few kilobytes each.
QByteArray hostilePage() {
    QImage image(3000, 3000, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", 0); // the strongest compression
    QByteArray pictures;
    for (int i = 0; i < 4; ++i)
        pictures +=
            "<img src=\"data:image/png;n=" + QByteArray::number(i) + ";base64," + png.toBase64() + "\">";
    QByteArray page = "<html><body>";
    for (int i = 0; i < 20; ++i)
        page += "<table><tr><td>";
    page += pictures + "deep";
    for (int i = 0; i < 20; ++i)
        page += "</td></tr></table>";
    return page + "</body></html>";
}

// The day's total in the ledger, or -1 while it cannot be read.
double todayTotal(const QString &ledger, const QByteArray &key) {
    QFile file(ledger);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith(key + '|'))
            return line.mid(key.size() + 1).trimmed().replace(',', '.').toDouble();
    return -1;
}

} // namespace

TEST(E2eHostileBanner, EveryUnitIsWrittenOnTimeWhileTheLightViewMeetsAHostilePage) {
    const QDateTime started = QDateTime::currentDateTime();
    if (started.time() > QTime(23, 58)) GTEST_SKIP() << "too close to midnight for a one-day ledger";
    NmMockRig rig;
    if (!rig.error().isEmpty()) GTEST_SKIP() << qPrintable(rig.error());

    const QByteArray page = hostilePage();
    ScriptedServer maker([&](Peer &peer, int) {
        const QByteArray path = peer.readRequest().split(' ').value(1);
        if (path.startsWith("/services/tarv/index.asp"))
            peer.send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + page);
        else
            peer.send("HTTP/1.0 404 Not Found\r\n\r\n");
    });

    QTemporaryDir appDir, homeDir;
    const QString exe = test::copyProgram(appDir);
    ASSERT_FALSE(exe.isEmpty());
    const QByteArray key = fmt::dayKey(started.date()).toLatin1();
    // Two seconds a unit in both zones, at 9 a unit.
    const QString ledger = appDir.filePath(QStringLiteral("data.dat"));
    test::writeFile(ledger, test::oneDayLedger("8|22|2|2|9|\xC4\xF1\xF7", started.date(), "0000,000"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), homeDir.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), homeDir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), homeDir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), homeDir.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("LANG"), QStringLiteral("el_GR.UTF-8"));
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), rig.address());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TARV_BANNER_ENGINE"), QStringLiteral("text"));
    env.insert(QStringLiteral("TARV_MAKER_URL"), QStringLiteral("http://127.0.0.1:%1/").arg(maker.port()));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setStandardErrorFile(homeDir.filePath(QStringLiteral("tarv.err")));
    program.start(exe, {});
    ASSERT_TRUE(program.waitForStarted(5000));
    auto stopProgram = qScopeGuard([&] {
        program.kill();
        program.waitForFinished(5000);
    });
    ASSERT_TRUE(waitFor([&] { return runTarv(exe, {QStringLiteral("--status")}, env) == 0; }, 30000));
    // A second start shows the running program's window, with the banner view in it.
    ASSERT_EQ(runTarv(exe, {}, env), 0);

    // `--status` is asked twice a second meanwhile; each answer must come within 2 s.
    std::atomic<bool> polling{true};
    std::atomic<int> asked{0}, unanswered{0};
    std::thread statusPoller([&] {
        while (polling) {
            ++asked;
            if (runTarv(exe, {QStringLiteral("--status")}, env, 2000) != 0) ++unanswered;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    });
    auto stopPoller = qScopeGuard([&] {
        polling = false;
        statusPoller.join();
    });

    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), 8);
    const QString settings = rig.addConnection(QStringLiteral("gsm"), QStringLiteral("ISP"));
    ASSERT_FALSE(rig.activate(modem, settings, QStringLiteral("isp0"), 2).isEmpty());

    // The ledger is watched every 20 ms for 14 s; the time each unit appears is kept.
    QList<qint64> unitTimes;
    double last = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 14000 || unitTimes.isEmpty()) {
        if (clock.elapsed() > 30000) break;
        const double total = todayTotal(ledger, key);
        for (; total >= last + 9; last += 9)
            unitTimes << clock.elapsed();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stopPoller.dismiss();
    polling = false;
    statusPoller.join();

    EXPECT_GE(maker.connections(), 1) << "the banner was asked for";
    ASSERT_GE(unitTimes.size(), 6) << "units seen";
    // Unit k falls due 2k seconds after the first, which is charged as the connection is seen.
    for (int k = 1; k < unitTimes.size(); ++k)
        EXPECT_NEAR(unitTimes.at(k) - unitTimes.at(0), 2000 * k, 1000) << "unit " << k;
    EXPECT_GE(asked.load(), 5);
    EXPECT_EQ(unanswered.load(), 0);
    EXPECT_EQ(program.state(), QProcess::Running);
    // The refused page was not saved for the next off-line start.
    EXPECT_TRUE(QDir(homeDir.filePath(QStringLiteral("cache/tarv/banner")))
                    .entryList({QStringLiteral("*.mhtml")})
                    .isEmpty());
}
