#include "framework/errors.h"
#include "framework/textformat.h"
#include "shell/popupfile.h"
#include "support/tempdir.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tarv;

namespace {

PopupItem text(const QString &caption, const QString &command = {}) {
    return {caption, command, false};
}
PopupItem separator(const QString &caption, const QString &command = {}) {
    return {caption, command, true};
}

} // namespace

void PrintTo(const PopupItem &item, std::ostream *os) {
    *os << "{\"" << item.caption.toStdString() << "\", \"" << item.command.toStdString() << "\", "
        << (item.separator ? "separator" : "text") << "}";
}

struct LineCase {
    const char *name;
    QByteArray line;
    QList<PopupItem> expected;
};

class PopupLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(PopupLine, GivesTheItemsOfTheRules) {
    EXPECT_EQ(parsePopupFile(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PopupLine,
    ::testing::Values(
        LineCase{"blank", "\r\n\r\n", {}}, LineCase{"spaces_and_tabs", "   \t \r\n\t\r\n", {}},
        LineCase{"control_chars_trimmed", "\x01\x1f Home|http://h/\x02\r\n", {text("Home", "http://h/")}},
        LineCase{"space_before_bar", "A |x", {text("A ", "x")}},
        LineCase{"more_bars_belong_to_command", "A|B|C", {text("A", "B|C")}},
        LineCase{"bar_first_gives_whole_line", "|x", {text("|x", "x")}},
        LineCase{"space_after_bar_kept", "A| x", {text("A", " x")}},
        LineCase{"hyphen_with_spaces", " - ", {separator("-")}},
        LineCase{"hyphen_and_command", "-|x", {separator("-", "x")}},
        LineCase{"hyphen_space_bar", " - |x", {separator("- ", "x")}},
        LineCase{"double_hyphen_is_text", "--", {text("--")}},
        LineCase{"no_bar", "Just a caption", {text("Just a caption")}},
        LineCase{"internal_command", "  Exit|MMexit  ", {text("Exit", "MMexit")}},
        LineCase{"greek_code_page", "\xc4\xf1\xf7|x", {text(QStringLiteral("Δρχ"), "x")}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PopupFile, EndsLinesAtCarriageReturnsOnly) {
    // A lone LF is text; CR LF and a lone CR both end a line; a last line needs no CR.
    const QByteArray bytes = "A|1\r\nB|2\rC\n|3\r\n\r\nD|4";
    const QList<PopupItem> expected = {text("A", "1"), text("B", "2"), text("C\n", "3"), text("D", "4")};
    EXPECT_EQ(parsePopupFile(bytes), expected);
    EXPECT_EQ(splitPopupLines("x\r\r\ny").size(), 3);
}

TEST(PopupFile, CtrlZEndsTheFile) {
    EXPECT_EQ(parsePopupFile("A|1\r\nB|2\x1a\r\nC|3\r\n"),
              (QList<PopupItem>{text("A", "1"), text("B", "2")}));
    EXPECT_TRUE(parsePopupFile("\x1a"
                               "A|1")
                    .isEmpty());
}

TEST(PopupFile, ReadsAFileAndReportsAMissingOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("popup.txt"));
    test::writeFile(path, "Site|http://h/\r\n-\r\nExit|MMexit\r\n");
    EXPECT_EQ(readPopupFile(path).size(), 3);
    EXPECT_THROW(readPopupFile(dir.filePath(QStringLiteral("none.txt"))), EInOutError);
}

TEST(PopupFile, TrimRemovesEveryCodeUpTo32) {
    EXPECT_EQ(trimControls(QString::fromLatin1("\x00\x09 a b \x1f\x20", 8)), QStringLiteral("a b"));
    EXPECT_EQ(trimControls(QStringLiteral(" \t ")), QString());
    // A no-break space (160) is not trimmed.
    EXPECT_EQ(trimControls(QString(QChar(160)) + QLatin1Char('a')), QString(QChar(160)) + QLatin1Char('a'));
}

struct CommandCase {
    const char *name;
    QString hint;
    MenuCommand::Kind kind;
    QString word; // the internal command word, for internal commands
};

class MenuCommandFilter : public ::testing::TestWithParam<CommandCase> {};

TEST_P(MenuCommandFilter, ActsOnlyOnWebAddressesAndInternalCommands) {
    const MenuCommand c = classifyMenuCommand(GetParam().hint);
    EXPECT_EQ(c.kind, GetParam().kind);
    if (c.kind == MenuCommand::Internal) {
        EXPECT_EQ(internalCommandWord(c.text), GetParam().word);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, MenuCommandFilter,
    ::testing::Values(CommandCase{"mm_exit", "MMexit", MenuCommand::Internal, "exit"},
                      CommandCase{"mm_exit_spaces", "  MMexit \t", MenuCommand::Internal, "exit"},
                      CommandCase{"mm_space_exit", "MM exit", MenuCommand::Internal, " exit"},
                      CommandCase{"mm_capital_word", "MMEXIT", MenuCommand::Internal, "EXIT"},
                      CommandCase{"mm_hide", "MMhide", MenuCommand::Internal, "hide"},
                      CommandCase{"mm_disconnect", "MMdisconnect", MenuCommand::Internal, "disconnect"},
                      CommandCase{"small_mm_is_not_internal", "mmexit", MenuCommand::Nothing, ""},
                      CommandCase{"http", "http://www.example.org/a?b=1", MenuCommand::OpenUrl, ""},
                      CommandCase{"https_capitals", " HTTPS://Example.org/ ", MenuCommand::OpenUrl, ""},
                      CommandCase{"empty", "", MenuCommand::Nothing, ""},
                      CommandCase{"spaces", "  ", MenuCommand::Nothing, ""},
                      CommandCase{"program", "/usr/bin/xterm", MenuCommand::Nothing, ""},
                      CommandCase{"windows_program", "C:\\Windows\\system32\\cmd.exe", MenuCommand::Nothing,
                                  ""},
                      CommandCase{"file_url", "file:///etc/passwd", MenuCommand::Nothing, ""},
                      CommandCase{"other_scheme", "smb://host/share", MenuCommand::Nothing, ""},
                      CommandCase{"javascript", "javascript:alert(1)", MenuCommand::Nothing, ""},
                      CommandCase{"http_without_host", "http:///x", MenuCommand::Nothing, ""},
                      CommandCase{"bare_host", "www.example.org", MenuCommand::Nothing, ""}),
    [](const auto &info) { return std::string(info.param.name); });
