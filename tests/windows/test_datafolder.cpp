#include "platform/windows/datafolder.h"
#include "support/tempdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tarv {
namespace {

TEST(WindowsDataFolder, PortableBesideTheProgramInstalledInTheUsersRoamingFolder) {
    QTemporaryDir program;
    const QString roaming = QStringLiteral("C:/Users/u/AppData/Roaming");
    EXPECT_EQ(windowsDataFolder(program.path(), roaming), program.path());

    // A folder of that name is not the installer's mark.
    ASSERT_TRUE(QDir(program.path()).mkdir(QLatin1String(kInstalledMarker)));
    EXPECT_EQ(windowsDataFolder(program.path(), roaming), program.path());
    ASSERT_TRUE(QDir(program.path()).rmdir(QLatin1String(kInstalledMarker)));

    test::writeFile(QDir(program.path()).filePath(QLatin1String(kInstalledMarker)), "installed");
    EXPECT_EQ(windowsDataFolder(program.path(), roaming), roaming + QStringLiteral("/Tarv"));
    EXPECT_EQ(windowsDataFolder(program.path(), QString()), program.path()) << "no roaming folder";
}

} // namespace
} // namespace tarv
