// The Windows program's own start-up pieces: the console front's output, the first-start notice
// and the per-user instance name.
#include "framework/instancepaths.h"
#include "framework/singleinstance.h"
#include "platform/windows/consolefront.h"
#include "platform/windows/consoleoutput.h"
#include "platform/windows/datafolder.h"
#include "platform/windows/firststartnotice.h"
#include "platform/windows/instancename.h"
#include "shell/trayicon.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace tarv {
namespace {

// A file opened for the device to write into, read back afterwards.
struct OutputFile {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("out.txt"));
    HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ~OutputFile() { close(); }
    void close() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    QByteArray bytes() {
        close();
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST(ConsoleFront, AFileGetsUtf8AndTheExitStatusIsTheCommands) {
    const struct {
        QStringList arguments;
        int status;
        QByteArray out, errStart;
    } rows[] = {
        {{"tarv.exe", "--version"}, 0, "tarv " TARV_VERSION "\n", ""},
        {{"tarv.exe", "--bogus"}, 2, "", "tarv: "},
        {{"tarv.exe", "--report", "--year", "1999"}, 2, "", "tarv: --year"},
    };
    for (const auto &row : rows) {
        OutputFile out, err;
        StdHandleDevice outDevice(out.handle), errDevice(err.handle);
        EXPECT_FALSE(outDevice.isConsole());
        EXPECT_EQ(runConsoleFront(row.arguments, QDir::currentPath(), outDevice, errDevice), row.status)
            << row.arguments.join(' ').toStdString();
        EXPECT_EQ(out.bytes(), row.out);
        EXPECT_TRUE(err.bytes().startsWith(row.errStart));
    }
}

TEST(ConsoleFront, GreekSplitAcrossWritesReachesAFileWhole) {
    OutputFile out;
    StdHandleDevice device(out.handle);
    const QByteArray greek = QStringLiteral("Δρχ\n").toUtf8();
    device.write(greek.left(1));
    device.write(greek.mid(1));
    EXPECT_EQ(out.bytes(), greek);
}

class FirstStartNotice : public ::testing::Test {
protected:
    struct BalloonHost final : TrayHost {
        bool notify(NotifyOp, const NotifyIconData &) override { return true; }
        QIcon stockIcon() const override { return {}; }
        QPoint cursorPos() const override { return {}; }
        void bringToForeground(QWidget *) override {}
        void popupMenu(QMenu *, const QPoint &) override {}
        bool showBalloon(const QString &title, const QString &text) override {
            shown->append(title + QLatin1Char('|') + text);
            return accept;
        }
        QStringList *shown = nullptr;
        bool accept = true;
    };

    void SetUp() override {
        QDir(program.path()).mkpath(QStringLiteral("."));
        auto host = std::make_unique<BalloonHost>();
        host->shown = &shown;
        balloonHost = host.get();
        tray = std::make_unique<TTrayIcon>(&owner, std::move(host));
    }
    void install() {
        QFile marker(QDir(program.path()).filePath(QLatin1String(kInstalledMarker)));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    }
    bool show() { return showFirstStartNotice(*tray, program.path(), data.path()); }

    QTemporaryDir program, data;
    QWidget owner;
    QStringList shown;
    BalloonHost *balloonHost = nullptr;
    std::unique_ptr<TTrayIcon> tray;
};

TEST_F(FirstStartNotice, OnceForAnInstalledCopyNeverForAPortableOne) {
    EXPECT_FALSE(show()) << "a portable copy";
    install();
    balloonHost->accept = false;
    EXPECT_FALSE(show()) << "a shell that is not ready";
    EXPECT_FALSE(QFile::exists(QDir(data.path()).filePath(QLatin1String(kFirstStartNoticeMarker))));
    balloonHost->accept = true;
    EXPECT_TRUE(show());
    EXPECT_FALSE(show()) << "once only";
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown.last().contains(QStringLiteral("Διπλό κλικ")));
    EXPECT_TRUE(shown.last().contains(QDir::toNativeSeparators(program.path())));
}

TEST(InstanceName, CarriesTheUsersIdentifierAndTheFolder) {
    const QString sid = currentUserSid();
    ASSERT_TRUE(sid.startsWith(QStringLiteral("S-1-"))) << sid.toStdString();
    QTemporaryDir a, b;
    const QString name = instancePaths(a.path()).socket;
    EXPECT_TRUE(name.contains(sid)) << name.toStdString();
    EXPECT_EQ(name, instancePaths(a.path()).socket);
    EXPECT_NE(name, instancePaths(b.path()).socket);

    // The program's own pipe keeps its name for its callers.
    QLocalServer own;
    own.setSocketOptions(QLocalServer::UserAccessOption);
    ASSERT_TRUE(own.listen(name));
    EXPECT_EQ(instancePaths(a.path()).socket, name);
    own.close();

    // A pipe of the name served by another account's process is passed over, by the program as
    // by its callers. Wine has one account: this test's own pipe stands for another account's,
    // seen by a user of another identifier.
    const QString other = QStringLiteral("S-1-5-21-1-2-3-1001");
    const QString othersName = QStringLiteral("tarv-%1-0123456789abcdef").arg(other);
    QLocalServer squatter;
    ASSERT_TRUE(squatter.listen(othersName));
    EXPECT_EQ(windowsInstanceName(QStringLiteral("0123456789abcdef"), other), othersName + QStringLiteral("-2"));
}

} // namespace
} // namespace tarv
