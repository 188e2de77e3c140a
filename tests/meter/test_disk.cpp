// The meter on a full disk and on a read-only file system: the error box gets a clear message
// and the ledger keeps its last good bytes. Needs root for the small tmpfs it mounts.
#include "framework/application.h"
#include "framework/errors.h"
#include "framework/textformat.h"
#include "meterfixture.h"
#include "support/tempdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace tarv;
using tarv::test::readFile;

namespace {

// A tmpfs of a few pages mounted on a temporary folder for the test's lifetime.
class SmallDisk {
public:
    SmallDisk() {
        if (geteuid() != 0) return;
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=16k") == 0;
    }
    ~SmallDisk() {
        if (m_mounted) ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    bool ok() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    void fill() {
        QFile filler(QDir(path()).filePath(QStringLiteral("filler")));
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        const QByteArray block(4096, 'x');
        while (filler.write(block) > 0) {
        }
    }
    bool remountReadOnly() {
        return ::mount(nullptr, QFile::encodeName(path()).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// Ticks the meter the way the program does: an error goes to the error box.
QStringList tick(tarv::test::MeterRig &rig, qint64 ms) {
    QStringList errors;
    setErrorSink([&](const QString &m) { errors << m; });
    rig.clock->advance(ms);
    runGuarded([&] { rig.meter->Timer1Timer(); });
    setErrorSink({});
    return errors;
}

} // namespace

TEST(Disk, AFullDiskOrAReadOnlyFileSystemKeepsTheLastGoodBytes) {
    SmallDisk disk;
    if (!disk.ok()) GTEST_SKIP() << "cannot mount a tmpfs here";
    tarv::test::MeterRig rig;
    rig.meter = std::make_unique<Meter>(fakePlatform(disk.path(), rig.clock, rig.dialup, rig.autostart), rig.view);
    // A ledger of exactly one page, so that a full disk has no room left at its end either.
    const QString ledger = QDir(disk.path()).filePath(QStringLiteral("data.dat"));
    QByteArray bytes = Ledger::defaultHeaderBytes() + "\r\n" + QByteArray(594, ' ');
    for (int i = 199; i >= 0; --i)
        bytes += "\r\n" + fmt::dayKey(QDate(2001, 3, 15).addDays(-i)).toLatin1() + "|0000,000";
    ASSERT_EQ(bytes.size(), 4096);
    tarv::test::writeFile(ledger, bytes);
    rig.create();
    rig.dialup->setSingle(DialState::Connected);
    EXPECT_TRUE(tick(rig, 1000).isEmpty());
    const QByteArray charged = readFile(ledger);
    ASSERT_TRUE(charged.endsWith("|0009,000"));

    // The next day's record cannot be appended on the full disk: a clear error, nothing damaged.
    disk.fill();
    rig.dialup->setSingle(-1);
    tick(rig, 1000);
    rig.clock->set(rig.clock->now().addDays(1));
    rig.dialup->setSingle(DialState::Connected);
    const QStringList full = tick(rig, 1000);
    ASSERT_FALSE(full.isEmpty());
    EXPECT_TRUE(full.first().contains(ledger)) << full.first().toStdString();
    EXPECT_EQ(readFile(ledger), charged);

    // Read-only: the in-place write of the day total fails with a clear error.
    QFile::remove(QDir(disk.path()).filePath(QStringLiteral("filler")));
    rig.clock->set(rig.clock->now().addDays(-1));
    rig.dialup->setSingle(-1);
    tick(rig, 1000);
    rig.dialup->setSingle(DialState::Connected);
    ASSERT_TRUE(disk.remountReadOnly());
    const QStringList readOnly = tick(rig, 1000);
    ASSERT_FALSE(readOnly.isEmpty());
    EXPECT_TRUE(readOnly.first().contains(QStringLiteral("Read-only"))) << readOnly.first().toStdString();
    EXPECT_EQ(readFile(ledger), charged);
}
