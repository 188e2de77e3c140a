#include "framework/errors.h"
#include "platform/linux/xdgautostartstore.h"
#include "support/tempdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tarv::test {

// Points XDG_CONFIG_HOME (and HOME) at a temporary folder for one test.
class AutostartTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        m_hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    }
    void TearDown() override {
        if (m_hadConfig)
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    QString entry() const { return dir.filePath(QStringLiteral("config/autostart/Tarv.desktop")); }

    QTemporaryDir dir;
    XdgAutostartStore store;

private:
    QByteArray m_oldConfig;
    bool m_hadConfig = false;
};

TEST_F(AutostartTest, CheckedAndUncheckedRoundTrips) {
    EXPECT_EQ(store.folder(), dir.filePath(QStringLiteral("config/autostart")));
    EXPECT_FALSE(QDir(store.folder()).exists());
    EXPECT_EQ(store.read(QStringLiteral("Tarv")), QString()); // missing folder and entry: off
    store.remove(QStringLiteral("Tarv"));                     // and no error

    store.write(QStringLiteral("Tarv"), QStringLiteral("/opt/tarv/tarv")); // creates the folder
    EXPECT_EQ(store.read(QStringLiteral("Tarv")), "/opt/tarv/tarv");
    const QByteArray text = readFile(entry());
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nExec=\"/opt/tarv/tarv\"\n"));
    EXPECT_TRUE(text.contains("\nType=Application\n"));

    store.write(QStringLiteral("Tarv"), QStringLiteral("/usr/local/bin/tarv")); // replaced
    EXPECT_EQ(store.read(QStringLiteral("Tarv")), "/usr/local/bin/tarv");
    store.remove(QStringLiteral("Tarv"));
    EXPECT_FALSE(QFile::exists(entry()));
    EXPECT_EQ(store.read(QStringLiteral("Tarv")), QString());
}

TEST_F(AutostartTest, PathsWithSpecialCharactersSurviveTheRoundTrip) {
    const QString paths[] = {
        QStringLiteral("/home/user/My Programs/tarv"), QStringLiteral("/opt/\"quoted\"/tarv"),
        QStringLiteral("/opt/$HOME/`x`/tarv"),         QStringLiteral("/opt/back\\slash/tarv"),
        QStringLiteral("/opt/100%/%f/tarv"),           QStringLiteral("/opt/Χρέωση/tarv"),
    };
    for (const QString &path : paths) {
        store.write(QStringLiteral("Tarv"), path);
        EXPECT_EQ(store.read(QStringLiteral("Tarv")), path);
    }
    // No field code is left for a session manager to expand.
    store.write(QStringLiteral("Tarv"), QStringLiteral("/opt/100%/%f/tarv"));
    EXPECT_TRUE(readFile(entry()).contains("\nExec=\"/opt/100%%/%%f/tarv\"\n"));
}

TEST_F(AutostartTest, DisabledOrEmptyEntriesReadAsOff) {
    const QByteArray texts[] = {
        "[Desktop Entry]\nType=Application\nExec=/opt/tarv/tarv\nHidden=true\n",
        "[Desktop Entry]\nExec=/opt/tarv/tarv\nX-GNOME-Autostart-enabled=false\n",
        "[Desktop Entry]\nType=Application\nExec=\n",
        "[Desktop Entry]\nType=Application\n",
        "[Other Group]\nExec=/opt/tarv/tarv\n",
    };
    QDir().mkpath(dir.filePath(QStringLiteral("config/autostart")));
    for (const QByteArray &text : texts) {
        SCOPED_TRACE(text.toStdString());
        writeFile(entry(), text);
        EXPECT_EQ(store.read(QStringLiteral("Tarv")), QString());
    }
    // An entry someone else wrote by hand, enabled and unquoted, counts as on.
    writeFile(entry(), "# mine\n[Desktop Entry]\nHidden=false\nExec = /opt/tarv/tarv\n");
    EXPECT_EQ(store.read(QStringLiteral("Tarv")), "/opt/tarv/tarv");
    // Checking the box again turns a disabled entry back on.
    writeFile(entry(), texts[0]);
    store.write(QStringLiteral("Tarv"), QStringLiteral("/opt/tarv/tarv"));
    EXPECT_EQ(store.read(QStringLiteral("Tarv")), "/opt/tarv/tarv");
}

TEST_F(AutostartTest, FolderFromTheEnvironment) {
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(store.folder(), QDir::homePath() + QStringLiteral("/.config/autostart"));
    qputenv("XDG_CONFIG_HOME", "relative/config"); // not absolute: ignored
    EXPECT_EQ(store.folder(), QDir::homePath() + QStringLiteral("/.config/autostart"));
}

TEST_F(AutostartTest, AFolderThatCannotBeMadeRaisesTheRegistryError) {
    writeFile(dir.filePath(QStringLiteral("config")), "a file where the folder should be");
    EXPECT_THROW(store.write(QStringLiteral("Tarv"), QStringLiteral("/opt/tarv/tarv")), ERegistryException);
    EXPECT_EQ(store.read(QStringLiteral("Tarv")), QString());
}

} // namespace tarv::test
