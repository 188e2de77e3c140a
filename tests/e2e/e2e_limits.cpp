// Spending limits in the real program: a mock NetworkManager brings a dial-up connection that is
// charged every two or three seconds, and a mock notification service on the session bus
// receives the warnings. One notification arrives per level, in order, none after further units
// or after a restart in the same cycle, and one again once a raised limit is passed. With
// "hang up at the limit" the connection is deactivated at the limit and the meter goes off line.

#include "e2e_program.h"
#include "framework/textformat.h"
#include "platform/nmmockrig.h"
#include "support/tempdir.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::NmMockRig;
using tarv::test::waitFor;

namespace {

// The program in a folder of its own with a ledger whose units last two (zone A) or three
// seconds, the mock notification service and the program's environment.
struct LimitsE2e {
    NmMockRig rig;
    QTemporaryDir appDir, homeDir;
    QString exe;
    QProcess notifications;
    QProcess program;
    QProcessEnvironment env;
    QString modem, settings, active;

    QString error() {
        if (!rig.error().isEmpty()) return rig.error();
        exe = test::copyProgram(appDir);
        if (exe.isEmpty()) return QStringLiteral("cannot copy the program");
        // A record of an earlier cycle, which never counts.
        test::writeFile(ledgerPath(), test::oneDayLedger("8|22|2|3|9|\xC4\xF1\xF7",
                                                         QDate::currentDate().addMonths(-2), "0500,000"));
        env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY"}) env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), homeDir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), homeDir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), homeDir.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), homeDir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("LANG"), QStringLiteral("el_GR.UTF-8"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        env.insert(QStringLiteral("TARV_MAKER_URL"), QStringLiteral("http://127.0.0.1:9/"));
        // One private bus stands for both: NetworkManager's system bus and the session's.
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), rig.address());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), rig.address());

        notifications.setProcessEnvironment(env);
        notifications.setProgram(QStringLiteral("/usr/bin/python3"));
        notifications.setArguments({QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--session"),
                                    QStringLiteral("--template"),
                                    QStringLiteral("notification_daemon")});
        notifications.start();
        if (!notifications.waitForStarted(5000)) return QStringLiteral("the mock notification service did not start");
        if (!waitFor([this] {
                return rig.driver().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")).value();
            }, 15000))
            return QStringLiteral("the mock notification service took no name");
        modem = rig.addDevice(QStringLiteral("ttyUSB0"), 8);
        settings = rig.addConnection(QStringLiteral("gsm"), QStringLiteral("ISP"));
        return {};
    }
    ~LimitsE2e() {
        stop();
        notifications.kill();
        notifications.waitForFinished(5000);
    }

    QString ledgerPath() const { return appDir.filePath(QStringLiteral("data.dat")); }
    void writeIni(const QByteArray &text) { test::writeFile(appDir.filePath(QStringLiteral("tarv.ini")), text); }

    bool start() {
        program.setProcessEnvironment(env);
        program.setStandardOutputFile(homeDir.filePath(QStringLiteral("tarv.log")), QIODevice::Append);
        program.setStandardErrorFile(homeDir.filePath(QStringLiteral("tarv.err")), QIODevice::Append);
        program.start(exe, {});
        return program.waitForStarted(5000);
    }
    void stop() {
        if (program.state() == QProcess::NotRunning) return;
        program.terminate();
        if (!program.waitForFinished(5000)) {
            program.kill();
            program.waitForFinished(5000);
        }
    }
    void dial() { active = rig.activate(modem, settings, QStringLiteral("isp0"), 2); }
    void hangUp() { rig.deactivate(modem, active); }

    // Today's total as the ledger holds it.
    double today() const {
        const QByteArray key = fmt::dayKey(QDate::currentDate()).toLatin1() + "|";
        const QByteArray bytes = test::readFile(ledgerPath());
        const qsizetype at = bytes.indexOf("\n" + key);
        if (at < 0) return 0;
        return QString::fromLatin1(bytes.mid(at + key.size() + 1, 8)).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    }
    // What went on, for a failure's message.
    std::string diagnostics() const {
        return QStringLiteral("ledger: %1\nnotifications:\n%2\nprogram:\n%3")
            .arg(QString::fromLatin1(test::readFile(ledgerPath()).mid(100)),
                 titles().join(QLatin1Char('\n')),
                 QString::fromUtf8(test::readFile(homeDir.filePath(QStringLiteral("tarv.err")))))
            .toStdString();
    }
    // The notifications the mock service received, in order: "app|icon|title" and the texts.
    QStringList titles(QStringList *texts = nullptr) const {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("GetMethodCalls"));
        call << QStringLiteral("Notify");
        const QDBusMessage reply = rig.driver().call(call, QDBus::Block, 5000);
        QStringList out;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {QStringLiteral("GetMethodCalls failed: ") + reply.errorMessage()};
        const QDBusArgument calls = reply.arguments().first().value<QDBusArgument>();
        calls.beginArray();
        while (!calls.atEnd()) {
            quint64 time = 0;
            QVariantList args;
            calls.beginStructure();
            calls >> time >> args;
            calls.endStructure();
            out << args.value(0).toString() + QLatin1Char('|') + args.value(2).toString() + QLatin1Char('|') +
                       args.value(3).toString();
            if (texts) *texts << args.value(4).toString();
        }
        calls.endArray();
        return out;
    }
};

bool tooCloseToMidnight() {
    return QTime::currentTime() > QTime(23, 56);
}

} // namespace

TEST(E2eLimits, OneNotificationPerLevelNoneAgainAfterARestartAndOneAfterARaise) {
    if (tooCloseToMidnight()) GTEST_SKIP() << "too close to midnight for a one-day ledger";
    LimitsE2e t;
    if (const QString e = t.error(); !e.isEmpty()) GTEST_SKIP() << qPrintable(e);
    // 9 a unit: 9, 18 and 27 of 27 pass 30, 60 and 100 per cent one at a time.
    t.writeIni("[Limit]\nMonthly=27\nWarnings=30,60,100\n");
    ASSERT_TRUE(t.start());
    t.dial();
    const QStringList expected{QStringLiteral("Tarv|tarv|Όριο δαπάνης: 30%"), QStringLiteral("Tarv|tarv|Όριο δαπάνης: 60%"),
                               QStringLiteral("Tarv|tarv|Όριο δαπάνης: 100%")};
    ASSERT_TRUE(waitFor([&] { return t.titles().size() >= 3; }, 30000)) << t.diagnostics();
    // Two more units bring nothing more.
    ASSERT_TRUE(waitFor([&] { return t.today() >= 45; }, 30000));
    EXPECT_EQ(t.titles(), expected);

    // A restart in the same cycle, still connected: the first unit is charged at once, and
    // the levels are not notified again.
    t.stop();
    const double before = t.today();
    ASSERT_TRUE(t.start());
    ASSERT_TRUE(waitFor([&] { return t.today() >= before + 18; }, 30000));
    EXPECT_EQ(t.titles(), expected);

    // Off line, the limit is raised to two units above the spend: 30 and 60 per cent stay
    // passed, 100 is armed again and passed at the second unit of the next connection.
    t.hangUp();
    QTest::qWait(3500);
    const double spent = t.today();
    t.writeIni(QStringLiteral("[Limit]\nMonthly=%1\nWarnings=30,60,100\n").arg(spent + 18).toUtf8());
    QTest::qWait(1500);
    t.dial();
    ASSERT_TRUE(waitFor([&] { return t.titles().size() >= 4; }, 30000)) << t.diagnostics();
    ASSERT_TRUE(waitFor([&] { return t.today() >= spent + 36; }, 30000));
    EXPECT_EQ(t.titles(), expected + QStringList{QStringLiteral("Tarv|tarv|Όριο δαπάνης: 100%")});
}

TEST(E2eLimits, HangsUpThroughNetworkManagerAtTheLimit) {
    if (tooCloseToMidnight()) GTEST_SKIP() << "too close to midnight for a one-day ledger";
    LimitsE2e t;
    if (const QString e = t.error(); !e.isEmpty()) GTEST_SKIP() << qPrintable(e);
    t.writeIni("[Limit]\nMonthly=18\nWarnings=100\nHangUp=true\n");
    ASSERT_TRUE(t.start());
    t.dial();
    ASSERT_TRUE(waitFor([&] { return t.titles().size() >= 1; }, 30000)) << t.diagnostics();
    EXPECT_EQ(t.titles(), QStringList{QStringLiteral("Tarv|tarv|Όριο δαπάνης: 100%")});
    QStringList texts;
    t.titles(&texts);
    EXPECT_TRUE(texts.value(0).endsWith(QStringLiteral("Η σύνδεση κλείνει."))) << qPrintable(texts.value(0));
    // NetworkManager deactivated the connection: no unit is charged after the limit's.
    QTest::qWait(7000);
    EXPECT_EQ(t.today(), 18);
    QProcess status;
    status.setProcessEnvironment(t.env);
    status.start(t.exe, {QStringLiteral("--status"), QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_TRUE(status.waitForFinished(10000));
    const QJsonObject o = QJsonDocument::fromJson(status.readAllStandardOutput()).object();
    EXPECT_FALSE(o.value(QStringLiteral("online")).toBool());
    EXPECT_EQ(o.value(QStringLiteral("cycle")).toObject().value(QStringLiteral("month")).toObject().value(
                  QStringLiteral("spent")).toDouble(), 18);
    // --check says the limit is passed.
    QProcess check;
    check.setProcessEnvironment(t.env);
    check.start(t.exe, {QStringLiteral("--check")});
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 6) << check.readAllStandardError().toStdString();
    EXPECT_TRUE(QString::fromUtf8(check.readAllStandardOutput()).contains(QStringLiteral("Όριο: 18,00 Δρχ (100%)")));
}
