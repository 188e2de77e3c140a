// The command line's language, its help, and the status texts it takes from another process.

#include "app/commandline.h"
#include "meter/meterstatus.h"

#include <gtest/gtest.h>

using namespace tarv;

namespace {

// Sets the three locale variables for one case and puts them back afterwards.
struct LocaleEnvironment {
    QByteArray saved[3];
    static constexpr const char *kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    explicit LocaleEnvironment(const std::array<const char *, 3> &values) {
        for (int i = 0; i < 3; ++i) {
            saved[i] = qgetenv(kNames[i]);
            if (values[i])
                qputenv(kNames[i], values[i]);
            else
                qunsetenv(kNames[i]);
        }
    }
    ~LocaleEnvironment() {
        for (int i = 0; i < 3; ++i) {
            if (saved[i].isNull())
                qunsetenv(kNames[i]);
            else
                qputenv(kNames[i], saved[i]);
        }
    }
};

} // namespace

TEST(CommandLine, TheMessagesFollowTheLocaleThatChoosesThem) {
    const struct {
        std::array<const char *, 3> env; // LC_ALL, LC_MESSAGES, LANG
        Messages expected;
    } cases[] = {
        {{nullptr, nullptr, "el_GR.UTF-8"}, Messages::Greek},
        {{nullptr, nullptr, "en_US.UTF-8"}, Messages::English},
        {{nullptr, nullptr, nullptr}, Messages::English},
        {{"C", nullptr, "el_GR.UTF-8"}, Messages::English},
        {{nullptr, "el_CY", "C"}, Messages::Greek},
        {{"el_GR", "en_GB", "en_GB"}, Messages::Greek},
        {{"", "", "el_GR.UTF-8"}, Messages::Greek},
    };
    for (const auto &c : cases) {
        LocaleEnvironment env(c.env);
        EXPECT_EQ(messagesOfEnvironment(), c.expected) << (c.env[0] ? c.env[0] : "-") << ' '
                                                       << (c.env[1] ? c.env[1] : "-") << ' ' << (c.env[2] ? c.env[2] : "-");
    }
}

TEST(CommandLine, HelpAndErrorsInEachLanguage) {
    const QDate today(2003, 6, 1);
    const struct {
        QStringList args;
        QString english, greek;
    } cases[] = {
        {{"--reprot"}, "Unknown option 'reprot'.", "άγνωστη επιλογή 'reprot'."},
        {{"--report", "--year"}, "Missing value after '--year'.", "λείπει η τιμή μετά το '--year'."},
        {{"--report", "--year", "1999"}, "--year: the year 1999 is outside 2000..2099",
         "--year: το έτος 1999 είναι εκτός 2000..2099"},
        {{"--watch"}, "--watch goes with --status", "το --watch πάει με το --status"},
        {{"--status", "--format", "csv"}, "--status prints text or json", "το --status τυπώνει text ή json"},
    };
    for (const auto &c : cases) {
        const QStringList args = QStringList{QStringLiteral("tarv")} + c.args;
        EXPECT_EQ(parseCommandLine(args, today, Messages::English).error, c.english);
        EXPECT_EQ(parseCommandLine(args, today, Messages::Greek).error, c.greek);
    }
    EXPECT_TRUE(helpText(Messages::Greek).startsWith(QStringLiteral("Χρήση: tarv [επιλογές]")));
    EXPECT_TRUE(helpText(Messages::English).startsWith(QStringLiteral("Usage: tarv [options]")));
    for (Messages m : {Messages::English, Messages::Greek}) EXPECT_TRUE(helpText(m).contains(QStringLiteral("--watch")));

    const Command watch = parseCommandLine({"tarv", "--status", "--watch", "--format", "json"}, today);
    EXPECT_EQ(watch.action, Command::Action::Status);
    EXPECT_TRUE(watch.watch);
}

TEST(CommandLine, StatusTextsFromTheProgramLoseTheirControlCharacters) {
    const struct {
        QString received, printed;
    } cases[] = {
        {"Σύνδεση: Ενεργή  (ttyUSB0)", "Σύνδεση: Ενεργή  (ttyUSB0)"},
        {"\x1b]0;owned\x07\x1b[2J", "]0;owned[2J"},
        {QString::fromUtf8("a\u009b31mb\u007fc\r\nd"), "a31mbcd"},
        {QString::fromUtf8("x\u202Egnp.exe\u2066y\u2069"), "xgnp.exey"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(printableText(c.received), c.printed);
        MeterStatus sent;
        sent.statusText = c.received;
        sent.currency = c.received;
        MeterStatus taken;
        ASSERT_TRUE(parseStatusJson(statusJson(sent), taken));
        EXPECT_EQ(taken.statusText, c.printed);
        EXPECT_EQ(taken.currency, c.printed);
    }
}
