#include "platform/linux/datafolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace tarv;

namespace {

enum class Expect { Beside, User };

struct FolderCase {
    const char *name;
    const char *program;  // the program's folder, under the test's folder
    const char *install;  // the build's install folder, under the test's folder
    bool readOnly;        // the program's folder cannot be written
    Expect expect;
};

// "bin" is the install folder, "usrbin" a link to it (as /bin is to /usr/bin on a merged system).
const FolderCase kFolderCases[] = {
    {"InstalledAndWritableAsForRoot", "bin", "bin", false, Expect::User},
    {"InstalledThroughALink", "usrbin", "bin", false, Expect::User},
    {"BuildFolder", "build/bin", "bin", false, Expect::Beside},
    {"UnpackedWhereTheInstallFolderIsMissing", "unpacked", "nowhere/bin", false, Expect::Beside},
    {"UnpackedReadOnly", "unpacked", "bin", true, Expect::User},
};

void PrintTo(const FolderCase &c, std::ostream *os) { *os << c.name; }

class DataFolder : public ::testing::TestWithParam<FolderCase> {};

} // namespace

TEST_P(DataFolder, FollowsWhereTheProgramRunsFrom) {
    const FolderCase &c = GetParam();
    if (c.readOnly && ::geteuid() == 0) GTEST_SKIP() << "root writes to any folder";
    QTemporaryDir root;
    const QDir dir(root.path());
    for (const char *sub : {"bin", "build/bin", "unpacked"}) ASSERT_TRUE(dir.mkpath(QString::fromLatin1(sub)));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("bin")), dir.filePath(QStringLiteral("usrbin"))));
    const QString program = dir.filePath(QString::fromLatin1(c.program));
    if (c.readOnly) QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    const QString user = dir.filePath(QStringLiteral("home/.local/share/tarv"));

    const QString got = linuxDataFolder(program, dir.filePath(QString::fromLatin1(c.install)), user);
    EXPECT_EQ(got, c.expect == Expect::User ? user : program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

INSTANTIATE_TEST_SUITE_P(Linux, DataFolder, ::testing::ValuesIn(kFolderCases),
                         [](const auto &info) { return std::string(info.param.name); });
