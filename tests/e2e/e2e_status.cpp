// `tarv --status` against the real program, off line and while it meters a connection of a mock
// NetworkManager; and `tarv --report` of the real program without a display.

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

struct Result {
    int status = -1;
    QString out, err;
};

Result runTarv(const QString &exe, const QStringList &args, const QProcessEnvironment &env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(exe, args);
    Result r;
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

TEST(E2eStatus, AnswersOffLineThenWhileMeteringAndNotRunningWith3) {
    const QDateTime started = QDateTime::currentDateTime();
    if (started.time() > QTime(23, 58)) GTEST_SKIP() << "too close to midnight for a one-day ledger";
    NmMockRig rig;
    if (!rig.error().isEmpty()) GTEST_SKIP() << qPrintable(rig.error());

    QTemporaryDir appDir, homeDir;
    const QString exe = test::copyProgram(appDir);
    ASSERT_FALSE(exe.isEmpty());
    const QString ledgerPath = appDir.filePath(QStringLiteral("data.dat"));
    test::writeFile(ledgerPath, test::oneDayLedger("8|22|2|3|9|\xC4\xF1\xF7", started.date(), "0027,000"));

    // The commands that print and end need no display at all.
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) bare.remove(QString::fromLatin1(name));
    bare.insert(QStringLiteral("HOME"), homeDir.path());
    bare.insert(QStringLiteral("XDG_DATA_HOME"), homeDir.filePath(QStringLiteral("data")));
    bare.insert(QStringLiteral("LANG"), QStringLiteral("el_GR.UTF-8"));
    Result r = runTarv(exe, {QStringLiteral("--status")}, bare);
    EXPECT_EQ(r.status, 3);
    // In the language of the locale: Greek here, unless LC_ALL or LC_MESSAGES choose another.
    EXPECT_TRUE(r.err.contains(QStringLiteral("not running")) || r.err.contains(QStringLiteral("δεν εκτελείται")))
        << qPrintable(r.err);
    r = runTarv(exe, {QStringLiteral("--report"), QStringLiteral("--month"), started.toString(QStringLiteral("yyyy-MM")),
                      QStringLiteral("--format"), QStringLiteral("csv")},
                bare);
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(started.date().toString(Qt::ISODate) + QStringLiteral(",27,Δρχ"))) << qPrintable(r.out);

    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), 8);
    const QString settings = rig.addConnection(QStringLiteral("gsm"), QStringLiteral("ISP"));
    QProcessEnvironment env = bare;
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), rig.address());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), homeDir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), homeDir.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.insert(QStringLiteral("TARV_MAKER_URL"), QStringLiteral("http://127.0.0.1:9/"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setStandardOutputFile(homeDir.filePath(QStringLiteral("tarv.log")));
    program.setStandardErrorFile(homeDir.filePath(QStringLiteral("tarv.err")));
    program.start(exe, {});
    ASSERT_TRUE(program.waitForStarted(5000));
    auto stopProgram = qScopeGuard([&] {
        program.kill();
        program.waitForFinished(5000);
    });

    // Off line, once the first tick has set the status line.
    ASSERT_TRUE(waitFor([&] {
        r = runTarv(exe, {QStringLiteral("--status")}, bare);
        return r.status == 0 && r.out.contains(QStringLiteral("Σύνδεση"));
    }, 30000)) << qPrintable(r.out + r.err);
    EXPECT_EQ(r.out, QStringLiteral("offline | Σύνδεση: Ανενεργή | 0 s | 0 Δρχ | Σήμερα: 27 Δρχ\n"));

    // The running program answers for the command line, which then loads no Qt at all (the
    // loader names every library it maps).
    QProcessEnvironment traced = bare;
    traced.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    const Result answered = runTarv(exe, {QStringLiteral("--status")}, traced);
    EXPECT_EQ(answered.status, 0);
    EXPECT_EQ(answered.out, r.out);
    EXPECT_TRUE(answered.err.contains(QStringLiteral("libc.so"))) << qPrintable(answered.err);
    EXPECT_FALSE(answered.err.contains(QStringLiteral("libQt6Core"))) << qPrintable(answered.err);

    // Dialled: the connection is charged at once and the answer follows the meter.
    ASSERT_FALSE(rig.activate(modem, settings, QStringLiteral("isp0"), 2).isEmpty());
    QJsonObject o;
    ASSERT_TRUE(waitFor([&] {
        r = runTarv(exe, {QStringLiteral("--status"), QStringLiteral("--format"), QStringLiteral("json")}, bare);
        o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        return r.status == 0 && o.value(QStringLiteral("online")).toBool() &&
               o.value(QStringLiteral("elapsed")).toDouble() >= 2;
    }, 15000)) << qPrintable(r.out + r.err);
    const double cost = o.value(QStringLiteral("cost")).toDouble();
    EXPECT_GE(cost, 9);
    EXPECT_EQ(o.value(QStringLiteral("today")).toDouble(), 27 + cost);
    EXPECT_EQ(o.value(QStringLiteral("currency")).toString(), QStringLiteral("Δρχ"));
    EXPECT_TRUE(o.value(QStringLiteral("status")).toString().startsWith(QStringLiteral("Σύνδεση: Ενεργή")));
    EXPECT_EQ(program.state(), QProcess::Running);
}
