// The front finds the running program's socket without Qt: its digest, its data folder and its
// socket must be the ones the program's own code names in the same environment.

#include "app/frontlookup.h"
#include "framework/instancepaths.h"
#include "platform/linux/datafolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(FrontSha1, KnownDigestsAndEveryLengthAroundABlockMatchQt) {
    using tarv::front::sha1Hex;
    EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1Hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    // The padding changes shape at 55, 56 and 64 bytes; bytes above 0x7f must not sign-extend.
    std::string bytes;
    for (int length = 0; length <= 130; ++length, bytes.push_back(char(0x80 + length * 7)))
        ASSERT_EQ(sha1Hex(bytes), QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha1)
                                      .toHex()
                                      .toStdString());
}

TEST(FrontLookup, PathsAreTidiedAsQtTidiesThem) {
    for (const char *path : {"", "/", "//", "/a//b/", "a/./b/", "/a/b/..", "a/..", "a/../..", "../a", "/../a", "."})
        EXPECT_EQ(tarv::front::cleanPath(path), QDir::cleanPath(QString::fromUtf8(path)).toStdString()) << path;
}

// One environment, in folders of a scratch folder: the program's and the install folder, the
// variables Qt reads (null: unset), and whether the socket's folder is usable as it is.
struct Case {
    const char *name, *program, *install, *dataHome, *home, *runtime, *temp;
    bool reachable;
};
void PrintTo(const Case &c, std::ostream *out) { *out << c.name; }

const Case kCases[] = {
    {"built, writable", "prog", "inst", "xdg", "home", "run", "tmp", true},
    {"built, folder missing", "gone", "inst", "xdg", "home", "run", "tmp", true},
    {"built, read-only folder", "ro", "inst", "xdg", "home", "run", "tmp", true},
    {"installed", "inst", "inst", "xdg", "home", "run", "tmp", true},
    {"installed through a link", "inst", "instlink", nullptr, "home", "run", "tmp", true},
    {"data folder through a link", "inst", "inst", "xdglink", "home", "run", "tmp", true},
    {"data folder missing", "inst", "inst", "none", "home", "run", "tmp", true},
    {"home without XDG_DATA_HOME", "inst", "inst", nullptr, "home/", "run", "tmp", true},
    {"no home at all", "inst", "inst", nullptr, nullptr, "run", "tmp", true},
    {"runtime folder unset", "inst", "inst", "xdg", "home", nullptr, "tmp", true},
    {"runtime folder missing", "inst", "inst", "xdg", "home", "norun", "tmp", true},
    {"runtime folder open to others", "inst", "inst", "xdg", "home", "open", "tmplink", true},
    {"runtime folder a link", "inst", "inst", "xdg", "home", "runlink", "tmp", true},
    {"no socket folder yet", "inst", "inst", "xdg", "home", "bare", "tmp", false},
    {"socket folder open to others", "inst", "inst", "xdg", "home", "leaky", "tmp", false},
};

class FrontLookup : public ::testing::TestWithParam<Case> {
protected:
    static constexpr const char *kVariables[] = {"XDG_DATA_HOME", "HOME", "XDG_RUNTIME_DIR", "TMPDIR"};
    QTemporaryDir root;
    std::optional<std::string> saved[4];
    const QString savedName = QCoreApplication::applicationName();

    void SetUp() override {
        QCoreApplication::setApplicationName(QStringLiteral("tarv")); // the last folder of the user's
        for (int i = 0; i < 4; ++i)
            if (const char *value = std::getenv(kVariables[i])) saved[i] = value;
        const std::string tmp = "tmp/tarv-" + std::to_string(::geteuid());
        for (const char *folder : {"prog", "ro", "inst", "xdg/tarv", "home/.local/share/tarv", "run/tarv",
                                          "open/tarv", "bare", "leaky/tarv", tmp.c_str()})
            QDir().mkpath(at(folder));
        for (const char *folder : {"run", "run/tarv", "bare", "leaky", tmp.c_str()}) chmod(folder, 0700);
        chmod("ro", 0555), chmod("open", 0755), chmod("leaky/tarv", 0755);
        for (auto [link, target] : {std::pair{"instlink", "inst"}, {"xdglink", "xdg"}, {"tmplink", "tmp"}, {"runlink", "run"}})
            QFile::link(at(target), at(link));
    }
    void TearDown() override {
        QCoreApplication::setApplicationName(savedName);
        for (int i = 0; i < 4; ++i) saved[i] ? ::setenv(kVariables[i], saved[i]->c_str(), 1) : ::unsetenv(kVariables[i]);
    }
    std::string path(const std::string &name) const { return root.path().toStdString() + '/' + name; }
    QString at(const std::string &name) const { return QString::fromStdString(path(name)); }
    void chmod(const std::string &name, mode_t mode) const { ::chmod(path(name).c_str(), mode); }
};

TEST_P(FrontLookup, NamesTheProgramsSocketOrNothing) {
    const Case &c = GetParam();
    const char *values[] = {c.dataHome, c.home, c.runtime, c.temp};
    for (int i = 0; i < 4; ++i) values[i] ? ::setenv(kVariables[i], path(values[i]).c_str(), 1) : ::unsetenv(kVariables[i]);

    using namespace tarv::front;
    EXPECT_EQ(isInstalledProgram(path(c.program), path(c.install)), tarv::isInstalledProgram(at(c.program), at(c.install)));
    const std::string folder = dataFolder(path(c.program), path(c.install), userDataFolder(systemVariable));
    const QString qtFolder = tarv::linuxDataFolder(at(c.program), at(c.install),
                                                   QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    ASSERT_EQ(folder, qtFolder.toStdString());
    EXPECT_EQ(canonicalPath(folder), QDir(qtFolder).canonicalPath().toStdString());

    // The front's lookup first: the program's code closes a socket folder that others may enter.
    const std::string socket = instanceSocket(canonicalPath(folder), systemVariable);
    const std::string qtSocket = tarv::instancePaths(qtFolder, false).socket.toStdString();
    ASSERT_FALSE(qtSocket.empty());
    EXPECT_EQ(socket, c.reachable ? qtSocket : std::string());
}

INSTANTIATE_TEST_SUITE_P(Environments, FrontLookup, ::testing::ValuesIn(kCases));

} // namespace
