// The connection's bytes from the remote-access statistics, over the stand-in library that
// scripts/test.d/windows-program.sh puts beside the test program (standins\<variant>) and this
// test copies into the system folder, the only place the program loads the library from.
#include "calls/calllog.h"
#include "calls/traffic.h"
#include "platform/windows/rasdialupservice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <windows.h>

namespace tarv {
namespace {

QString systemLibrary() {
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return QDir::fromNativeSeparators(QString::fromWCharArray(path)) + QStringLiteral("/rasapi32.dll");
}

void script(const char *text) {
    SetEnvironmentVariableA("TARV_RASSTUB", text);
}

class RasTraffic : public ::testing::Test {
protected:
    // The system's own library is kept aside and put back afterwards.
    void SetUp() override {
        QFile::remove(m_kept);
        m_hadOwn = QFile::exists(systemLibrary());
        ASSERT_TRUE(!m_hadOwn || QFile::rename(systemLibrary(), m_kept));
    }
    void TearDown() override {
        QFile::remove(systemLibrary());
        if (m_hadOwn) QFile::rename(m_kept, systemLibrary());
        script("");
    }
    static void useStandIn(const char *variant) {
        QFile::remove(systemLibrary());
        const QString source = QCoreApplication::applicationDirPath() +
                               QStringLiteral("/standins/%1/rasapi32.dll").arg(QLatin1String(variant));
        ASSERT_TRUE(QFile::copy(source, systemLibrary())) << qPrintable(source);
    }

    QString m_kept = systemLibrary() + QStringLiteral(".kept");
    bool m_hadOwn = false;
};

TEST_F(RasTraffic, CountersThatWrapAreAddedUpPerConnection) {
    useStandIn("full");
    script("count=2;states=8192,8192");
    RasDialupService service;
    const QStringList handles = service.activeConnections().value_or(QStringList());
    ASSERT_EQ(handles.size(), 2);
    const QString first = service.connectionStatus(handles.at(0)).interfaceName;
    EXPECT_EQ(first, handles.at(0)) << "a connected connection names its handle";

    const auto source = calls::systemTrafficSource();
    ASSERT_TRUE(source);
    const auto received = [&](const QString &handle, const char *counters) -> std::optional<quint64> {
        script((std::string("count=2;") + counters).c_str());
        const auto reading = source->read(handle);
        return reading ? std::optional<quint64>(reading->received) : std::nullopt;
    };
    EXPECT_EQ(received(first, "received=3000000000;sent=1;duration=1000"), 3000000000u);
    // Lower on the same connection: the counter went round.
    EXPECT_EQ(received(first, "received=1000000000;sent=2;duration=2000"), 5294967296u);
    EXPECT_EQ(received(first, "received=1000000100;sent=3;duration=3000"), 5294967396u);
    // Another connection, or the same handle up for less time, starts from zero.
    EXPECT_EQ(received(handles.at(1), "received=50;duration=10"), 50u);
    EXPECT_EQ(received(handles.at(1), "received=40;duration=5"), 40u);
    EXPECT_EQ(received(first, "received=70;duration=20"), 70u);
    EXPECT_EQ(received(first, "received=80;statistics=6;duration=30"), std::nullopt) << "a failed query";
    EXPECT_EQ(received(QStringLiteral("ppp0"), "received=70;duration=40"), std::nullopt) << "not a handle";
}

TEST_F(RasTraffic, TheLogHoldsBytesPastFourGiBAndNoneWithoutStatistics) {
    const QDateTime start(QDate(2001, 3, 15), QTime(10, 0));
    const auto loggedBytes = [&](const char *variant) {
        useStandIn(variant);
        QTemporaryDir dir;
        calls::CallLog log(dir.path(), calls::systemTrafficSource());
        script("count=1;states=8192;received=100;sent=100;duration=1000");
        log.connected(start, {QStringLiteral("Provider"), QStringLiteral("modem"), RasDialupService::handleText(
                                                                                     reinterpret_cast<void *>(0x1001))});
        for (const char *counters : {"received=3000000000;sent=200;duration=2000",
                                     "received=1000000000;sent=300;duration=3000"}) {
            script((std::string("count=1;states=8192;") + counters).c_str());
            log.online(start.addSecs(1));
        }
        log.disconnected(start.addSecs(2));
        const QList<calls::CallRow> rows = calls::parseCsv([&] {
            QFile f(log.csvPath());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }());
        return rows.size() == 1 ? rows.first() : calls::CallRow();
    };
    const calls::CallRow counted = loggedBytes("full");
    EXPECT_EQ(counted.received, std::optional<quint64>(5294967296u - 100));
    EXPECT_EQ(counted.sent, std::optional<quint64>(200));

    const calls::CallRow unsupported = loggedBytes("enumonly");
    EXPECT_TRUE(unsupported.start.isValid()) << "the row is written";
    EXPECT_EQ(unsupported.received, std::nullopt);
    EXPECT_EQ(unsupported.sent, std::nullopt);
}

} // namespace
} // namespace tarv
