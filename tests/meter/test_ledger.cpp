#include "framework/errors.h"
#include "framework/textformat.h"
#include "meterfixture.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::MeterRig;
using tarv::test::readFile;
using tarv::test::writeFile;

namespace {

QByteArray header100() {
    QByteArray h("8|22|270|540|9|\xC4\xF1\xF7");
    h.append(82, ' ');
    return h;
}

// The file of the worked example: created on 15 March 2001, three units of 9 on 16 March.
QByteArray workedExample() {
    return header100() + "\r\n\r\n010315|0000,000\r\n010316|0027,000";
}

} // namespace

TEST(Ledger, FirstRunCreatesTheFileAndTheAutostartValue) {
    MeterRig rig;
    rig.create();
    const QByteArray bytes = readFile(rig.ledgerPath());
    EXPECT_EQ(bytes.size(), 119);
    EXPECT_EQ(bytes, header100() + "\r\n\r\n010315|0000,000");
    EXPECT_EQ(rig.autostart->values.value("Tarv"), QStringLiteral("/opt/tarv/tarv"));
    EXPECT_EQ(rig.meter->s.todayStored, 0);
    EXPECT_EQ(rig.view.today, QStringLiteral("Σήμερα: 0 Δρχ"));
}

TEST(Ledger, AFailedAutostartWriteAtTheFirstRunStillCreatesTheLedger) {
    MeterRig rig;
    rig.autostart->failWrites = true;
    EXPECT_THROW(rig.create(), ERegistryException);
    EXPECT_EQ(readFile(rig.ledgerPath()), header100() + "\r\n\r\n010315|0000,000");
    rig.dialup->setSingle(DialState::Connected);
    rig.tickAfter(1000);
    EXPECT_TRUE(readFile(rig.ledgerPath()).endsWith("010315|0009,000"));
}

TEST(Ledger, ThreeUnitsOnTheNextDayGiveTheWorkedExample) {
    MeterRig rig;
    rig.create();
    rig.clock->set(QDateTime(QDate(2001, 3, 16), QTime(10, 0)));
    rig.create(); // a start-up on the 16th appends its record
    for (int units = 1; units <= 3; ++units) {
        rig.meter->s.todayAccrued = 9 * units;
        rig.meter->saveData();
    }
    const QByteArray bytes = readFile(rig.ledgerPath());
    EXPECT_EQ(bytes.size(), 136);
    EXPECT_EQ(bytes, workedExample());
    EXPECT_EQ(bytes.mid(128, 8), QByteArray("0027,000"));
    EXPECT_EQ(rig.view.writes, 3);
}

TEST(Ledger, RewritesOnlyTheEightAmountBytesOfAnEarlierRecord) {
    MeterRig rig(QDateTime(QDate(2001, 3, 15), QTime(23, 0)));
    writeFile(rig.ledgerPath(), workedExample());
    rig.create();
    EXPECT_EQ(rig.meter->s.todayStored, 0);
    rig.meter->s.todayAccrued = 36;
    rig.meter->saveData();
    QByteArray expected = workedExample();
    expected.replace(111, 8, "0036,000");
    EXPECT_EQ(readFile(rig.ledgerPath()), expected);
}

TEST(Ledger, RewrittenHeaderReadsBackAndFillerLinesAreNoRecords) {
    MeterRig rig;
    QByteArray header95("10|20|180|360|7,5|Euro");
    header95.append(95 - header95.size(), ' ');
    // The slot's last five bytes (three spaces, CR LF) now stand as a line of their own.
    writeFile(rig.ledgerPath(), header95 + "\r\n   \r\n\r\n010315|0012,340");
    rig.create();
    const MeterState &s = rig.meter->s;
    EXPECT_EQ(s.zoneAFrom, 10);
    EXPECT_EQ(s.zoneATo, 20);
    EXPECT_EQ(s.zoneASeconds, 180);
    EXPECT_EQ(s.zoneBSeconds, 360);
    EXPECT_DOUBLE_EQ(s.unitPrice, 7.5);
    EXPECT_EQ(s.currencyLabel, QStringLiteral("Euro"));
    EXPECT_DOUBLE_EQ(s.todayStored, 12.34);

    // A day without a record gets one at the end; the filler lines are left alone.
    rig.clock->set(QDateTime(QDate(2001, 3, 16), QTime(9, 0)));
    rig.create();
    EXPECT_EQ(readFile(rig.ledgerPath()), header95 + "\r\n   \r\n\r\n010315|0012,340\r\n010316|0000,000");
}

TEST(Ledger, OnlyTheFirstRecordOfADayCounts) {
    MeterRig rig;
    writeFile(rig.ledgerPath(), header100() + "\r\n\r\n010315|0005,000\r\n010315|0099,000");
    rig.create();
    EXPECT_DOUBLE_EQ(rig.meter->s.todayStored, 5);
    rig.meter->s.todayAccrued = 9;
    rig.meter->saveData();
    EXPECT_EQ(readFile(rig.ledgerPath()), header100() + "\r\n\r\n010315|0014,000\r\n010315|0099,000");
}

TEST(Ledger, AmountsOfTenThousandOrMoreNeverOverrunTheNextRecord) {
    MeterRig rig;
    writeFile(rig.ledgerPath(), header100() + "\r\n\r\n010315|9995,000\r\n010316|0001,000");
    rig.create();
    rig.meter->s.todayAccrued = 9;
    rig.meter->saveData();
    const QByteArray widened = header100() + "\r\n\r\n010315|10004,000\r\n010316|0001,000";
    EXPECT_EQ(readFile(rig.ledgerPath()), widened);
    // Every reader still finds both days, and the next charge writes the wide amount again.
    rig.meter->s.todayAccrued = 18;
    rig.meter->saveData();
    EXPECT_EQ(readFile(rig.ledgerPath()), header100() + "\r\n\r\n010315|10013,000\r\n010316|0001,000");
    rig.create();
    EXPECT_DOUBLE_EQ(rig.meter->s.todayStored, 10013);
    EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1)
        << "a temporary copy was left behind";

    // The last record of the file simply grows.
    MeterRig last;
    writeFile(last.ledgerPath(), header100() + "\r\n\r\n010315|9995,000");
    last.create();
    last.meter->s.todayAccrued = 9;
    last.meter->saveData();
    EXPECT_EQ(readFile(last.ledgerPath()), header100() + "\r\n\r\n010315|10004,000");
}

TEST(Ledger, RewritesGoThroughALinkToItsTargetAndKeepItsMode) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links and POSIX modes are not what a Windows user has";
#endif
    MeterRig rig;
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("ledger"));
    // A hand-edited header line, shorter than the header's slot.
    writeFile(target, "8|22|270|540|9|Euro\r\n\r\n010315|9995,000\r\n010316|0001,000");
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QFile::setPermissions(target, mode);
    ASSERT_TRUE(QFile::link(target, rig.ledgerPath()));
    rig.create();
    rig.meter->s.todayAccrued = 9; // the widened record
    rig.meter->saveData();
    rig.meter->ledger().writeHeader("8|22|270|540|5|Euro");
    EXPECT_TRUE(QFileInfo(rig.ledgerPath()).isSymLink());
    EXPECT_TRUE(readFile(target).startsWith("8|22|270|540|5|Euro   "));
    EXPECT_TRUE(readFile(target).endsWith("\r\n\r\n010315|10004,000\r\n010316|0001,000"));
    // Owner, group and others, without the bits for the user running the test.
    EXPECT_EQ(QFile::permissions(target) & QFileDevice::Permissions(0x7077), mode);
    EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
}

TEST(Ledger, AHeaderLineShorterThanTheSlotNeverOverwritesARecord) {
    MeterRig rig;
    QByteArray slot("8|22|270|540|5|Euro");
    slot.append(95 - slot.size(), ' ');
    // A hand-edited header, with CR LF and with a lone LF right at the end of the slot.
    const QByteArray records = "010315|0009,000\r\n010316|0018,000";
    for (const QByteArray &edited : {QByteArray("8|22|270|540|9|Euro\r\n"), slot + '\n'}) {
        writeFile(rig.ledgerPath(), edited + records);
        rig.meter->ledger().writeHeader("8|22|270|540|5|Euro");
        EXPECT_EQ(readFile(rig.ledgerPath()), slot + "\r\n" + records);
        const Ledger::ReadResult r = rig.meter->ledger().read(QStringLiteral("010316"));
        EXPECT_EQ(r.amountText, QStringLiteral("0018,000"));
        EXPECT_DOUBLE_EQ(r.header.unitPrice, 5);
    }
    // A header line as long as the slot or longer is written over in place.
    writeFile(rig.ledgerPath(), header100() + "\r\n\r\n" + records);
    rig.meter->ledger().writeHeader("8|22|270|540|5|Euro");
    EXPECT_EQ(readFile(rig.ledgerPath()), slot + "\r\n   \r\n\r\n" + records);
}

TEST(Ledger, ReadsAmountsWithAPointAsWellAsAComma) {
    MeterRig rig;
    writeFile(rig.ledgerPath(), header100() + "\r\n\r\n010315|0027.500");
    rig.create();
    EXPECT_DOUBLE_EQ(rig.meter->s.todayStored, 27.5);
}

TEST(Ledger, BadHeadersAndRecordsRaiseConversionErrorsAndChangeNothing) {
    const char *headers[] = {
        "8|22|270|540",               // fewer than six fields
        "8|22|0|540|9|Δρχ",           // no seconds per unit in zone A
        "8|22|270|-5|9|Δρχ",          // negative seconds in zone B
        "x|22|270|540|9|Δρχ",         // an hour that is no number
        "8|22|270|540|nine|Δρχ",      // a price that is no number
    };
    for (const char *h : headers) {
        MeterRig rig;
        writeFile(rig.ledgerPath(), fmt::toCp1253(QString::fromUtf8(h)) + "\r\n\r\n010315|0000,000");
        rig.meter->initState();
        rig.meter->s.zoneASeconds = 111;
        EXPECT_THROW(rig.meter->readData(QDate(2001, 3, 15)), EConvertError) << h;
        EXPECT_EQ(rig.meter->s.zoneASeconds, 111) << h;
    }
    MeterRig shortRecord;
    writeFile(shortRecord.ledgerPath(), header100() + "\r\n\r\n010315");
    shortRecord.meter->initState();
    EXPECT_THROW(shortRecord.meter->readData(QDate(2001, 3, 15)), EConvertError);
}

TEST(Ledger, DeletedFileIsCreatedAgainButSaveRaises) {
    MeterRig rig;
    rig.create();
    QFile::remove(rig.ledgerPath());
    rig.meter->s.todayAccrued = 9;
    EXPECT_THROW(rig.meter->saveData(), EInOutError);
    EXPECT_FALSE(QFile::exists(rig.ledgerPath()));
    rig.meter->s.unitPrice = 5; // the tariff in force is kept when the file is recreated
    rig.meter->readData(QDate(2001, 3, 15));
    EXPECT_EQ(readFile(rig.ledgerPath()).size(), 119);
    EXPECT_EQ(rig.meter->s.unitPrice, 5);
}

TEST(Ledger, TheHeaderIsNeverWrittenAsARecord) {
    MeterRig rig;
    // A price whose digits happen to hold the day key.
    QByteArray header("8|22|270|540|9,010315|Euro");
    header.append(100 - header.size(), ' ');
    writeFile(rig.ledgerPath(), header + "\r\n\r\n010314|0000,000");
    rig.create(); // appends 010315
    rig.meter->s.todayAccrued = 9;
    rig.meter->saveData();
    EXPECT_EQ(readFile(rig.ledgerPath()), header + "\r\n\r\n010314|0000,000\r\n010315|0009,000");
}

// File size limits and read-only folders as Linux enforces them.
#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>

namespace {

// Limits the size of files this process may write, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

} // namespace

TEST(Ledger, AFullDiskKeepsTheLastGoodBytes) {
    // No room for a new ledger: an error, and no half-written file.
    {
        MeterRig rig;
        FileSizeLimit full(50);
        EXPECT_THROW(rig.create(), EInOutError);
        EXPECT_FALSE(QFile::exists(rig.ledgerPath()));
    }
    // No room for a new day's record: an error, and the file as it was.
    MeterRig rig;
    rig.create();
    const QByteArray before = readFile(rig.ledgerPath());
    rig.clock->set(QDateTime(QDate(2001, 3, 16), QTime(9, 0)));
    {
        FileSizeLimit full(before.size() + 5);
        EXPECT_THROW(rig.create(), EInOutError);
    }
    EXPECT_EQ(readFile(rig.ledgerPath()), before);
    // A widened record that does not fit: the old ledger stays whole.
    writeFile(rig.ledgerPath(), header100() + "\r\n\r\n010315|9995,000\r\n010316|0001,000");
    const QByteArray wide = readFile(rig.ledgerPath());
    rig.clock->set(QDateTime(QDate(2001, 3, 15), QTime(9, 0)));
    rig.create();
    rig.meter->s.todayAccrued = 9;
    {
        FileSizeLimit full(wide.size());
        EXPECT_THROW(rig.meter->saveData(), EInOutError);
    }
    EXPECT_EQ(readFile(rig.ledgerPath()), wide);
    EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1)
        << "a temporary copy was left behind";
}

TEST(Ledger, AReadOnlyFolderGivesAClearError) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    MeterRig rig;
    rig.create();
    const QByteArray before = readFile(rig.ledgerPath());
    QFile::setPermissions(rig.ledgerPath(), QFile::ReadOwner);
    rig.meter->s.todayAccrued = 9;
    try {
        rig.meter->saveData();
        ADD_FAILURE() << "no error";
    } catch (const EInOutError &e) {
        EXPECT_TRUE(e.message().contains(rig.ledgerPath()));
    }
    EXPECT_EQ(readFile(rig.ledgerPath()), before);
}
#endif

TEST(Ledger, AChargeForADayWithoutARecordAddsTheRecord) {
    MeterRig rig;
    rig.create();
    // The record went missing after it was read (a failed append, a hand edit).
    writeFile(rig.ledgerPath(), header100() + "\r\n\r\n010314|0003,000");
    rig.meter->s.todayAccrued = 9;
    rig.meter->saveData();
    EXPECT_EQ(readFile(rig.ledgerPath()), header100() + "\r\n\r\n010314|0003,000\r\n010315|0009,000");
}
