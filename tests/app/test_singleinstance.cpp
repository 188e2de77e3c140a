// One program per user and ledger: where the lock and the socket live, what a start does when it
// cannot claim the ledger, and the status lines the program sends to the command line.

#include "app/statuschannel.h"
#include "framework/instancepaths.h"
#include "framework/singleinstance.h"
#include "meter/meterstatus.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tarv;

namespace {

// A scratch runtime folder and temporary folder, set in the environment for one test.
struct Folders {
    QTemporaryDir runtime, temp, data;
    QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR"), savedTemp = qgetenv("TMPDIR");
    Folders() {
        ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
    }
    ~Folders() {
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("TMPDIR", savedTemp);
    }
    QString uidFolder() const { return QDir(temp.path()).filePath(QStringLiteral("tarv-%1").arg(::geteuid())); }
};

mode_t modeOf(const QString &path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

// Waits for a line on the channel while the program's side runs its events.
std::optional<QByteArray> nextLine(StatusChannel &channel, int timeoutMs = 3000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (auto line = channel.takeLine()) return line;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        channel.receive(10);
    }
    return channel.takeLine();
}

} // namespace

TEST(InstanceFolder, TheUsersOwnFolderOrARefusalThatSaysWhy) {
    const uid_t uid = ::geteuid();
    enum Setup { Runtime, NoRuntime, RuntimeOfAnother, OpenFolder, LinkedFolder, FolderOfAnother, NoTemp };
    const struct {
        Setup setup;
        bool usable;
    } cases[] = {{Runtime, true},     {NoRuntime, true},    {RuntimeOfAnother, true},
                 {OpenFolder, true},  {LinkedFolder, false}, {FolderOfAnother, false},
                 {NoTemp, false}};
    for (const auto &c : cases) {
        if ((c.setup == RuntimeOfAnother || c.setup == FolderOfAnother) && uid != 0) continue; // needs chown
        Folders f;
        QString expected = QDir(f.runtime.path()).filePath(QStringLiteral("tarv"));
        switch (c.setup) {
        case Runtime:
            break;
        case NoRuntime:
            qunsetenv("XDG_RUNTIME_DIR");
            expected = f.uidFolder();
            break;
        case RuntimeOfAnother:
            // A runtime folder that is not the user's is passed over.
            ASSERT_EQ(::chown(QFile::encodeName(f.runtime.path()).constData(), 65534, 65534), 0);
            expected = f.uidFolder();
            break;
        case OpenFolder:
            QDir().mkdir(expected);
            ::chmod(QFile::encodeName(expected).constData(), 0777);
            break;
        case LinkedFolder:
            QFile::link(f.temp.path(), expected);
            break;
        case FolderOfAnother:
            qunsetenv("XDG_RUNTIME_DIR");
            QDir().mkdir(f.uidFolder());
            ASSERT_EQ(::chown(QFile::encodeName(f.uidFolder()).constData(), 65534, 65534), 0);
            break;
        case NoTemp:
            // Not a folder relative to wherever the program was started.
            qunsetenv("XDG_RUNTIME_DIR");
            qputenv("TMPDIR", QFile::encodeName(f.temp.filePath(QStringLiteral("gone"))));
            break;
        }
        QString error;
        const QString folder = instanceFolder(true, error);
        if (c.usable) {
            EXPECT_EQ(folder, expected) << c.setup;
            EXPECT_EQ(modeOf(folder), 0700u) << c.setup;
            EXPECT_TRUE(error.isEmpty()) << c.setup << qPrintable(error);
        } else {
            EXPECT_TRUE(folder.isEmpty()) << c.setup;
            EXPECT_FALSE(error.isEmpty()) << c.setup;
            // A start that cannot claim its ledger says why.
            SingleInstance instance(f.data.path());
            EXPECT_EQ(instance.claim(), SingleInstance::Claim::Failed) << c.setup;
            EXPECT_TRUE(instance.error().contains(QStringLiteral("tarv"))) << qPrintable(instance.error());
        }
    }
}

TEST(SingleInstanceClaim, ALockAndSocketSquattedWhereTheyUsedToBeChangeNothing) {
    Folders f;
    // Another user's program at the old, predictable place in the temporary folder.
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(QDir(f.data.path()).canonicalPath().toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    const QString old = QStringLiteral("tarv-%1-%2").arg(qEnvironmentVariable("USER", QStringLiteral("user")), digest);
    QLockFile squattedLock(QDir(f.temp.path()).filePath(old + QStringLiteral(".lock")));
    ASSERT_TRUE(squattedLock.tryLock(0));
    QLocalServer squatter;
    ASSERT_TRUE(squatter.listen(QDir(f.temp.path()).filePath(old)));

    SingleInstance instance(f.data.path());
    EXPECT_EQ(instance.claim(), SingleInstance::Claim::First) << qPrintable(instance.error());
    EXPECT_TRUE(instance.error().isEmpty()) << qPrintable(instance.error());
    EXPECT_TRUE(instancePaths(f.data.path()).socket.startsWith(f.runtime.path()));
}

TEST(SingleInstanceClaim, ALockWhoseHolderDoesNotAnswerIsAFailureThatSaysWhy) {
    Folders f;
    QLockFile held(instancePaths(f.data.path()).lock);
    ASSERT_TRUE(held.tryLock(0));
    SingleInstance instance(f.data.path());
    EXPECT_EQ(instance.claim(), SingleInstance::Claim::Failed);
    EXPECT_TRUE(instance.error().contains(QString::number(QCoreApplication::applicationPid()))) << qPrintable(instance.error());
}

TEST(SingleInstanceWatch, WatchersGetALineAtOnceThenOnlyChanges) {
    Folders f;
    SingleInstance instance(f.data.path());
    ASSERT_EQ(instance.claim(), SingleInstance::Claim::First);
    MeterStatus status;
    status.statusText = QStringLiteral("Σύνδεση: Ανενεργή \x1b[31m");
    instance.setStatusSource([&] { return statusJson(status); });

    StatusChannel channel;
    ASSERT_TRUE(channel.open(instancePaths(f.data.path()).socket));
    ASSERT_TRUE(channel.send("watch\n"));
    std::optional<QByteArray> line = nextLine(channel);
    ASSERT_TRUE(line);
    MeterStatus taken;
    ASSERT_TRUE(parseStatusJson(*line, taken));
    EXPECT_EQ(taken.statusText, QStringLiteral("Σύνδεση: Ανενεργή [31m"));
    EXPECT_EQ(instance.watcherCount(), 1);

    // Ticks that change nothing send nothing; a charged unit sends one line.
    instance.publishStatus();
    instance.publishStatus();
    EXPECT_FALSE(nextLine(channel, 300));
    status.connectionCost = 9;
    instance.publishStatus();
    instance.publishStatus();
    line = nextLine(channel);
    ASSERT_TRUE(line);
    ASSERT_TRUE(parseStatusJson(*line, taken));
    EXPECT_EQ(taken.connectionCost, 9);
    EXPECT_FALSE(nextLine(channel, 300));

    // A client that sends a flood instead of a request is dropped.
    StatusChannel flood;
    ASSERT_TRUE(flood.open(instancePaths(f.data.path()).socket));
    ASSERT_TRUE(flood.send(QByteArray(200, 'x').constData()));
    (void)QTest::qWaitFor([&] {
        flood.receive(0);
        return flood.ended();
    }, 3000);
    EXPECT_TRUE(flood.ended());
}
