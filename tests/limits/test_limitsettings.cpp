#include "limits/limitsettings.h"
#include "limits/limitsmonitor.h"
#include "support/tempdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tarv;
using namespace tarv::limits;

TEST(LimitSettingsFile, ReadsTheDocumentedFormWithItsComments) {
    const LoadedSettings r = parseLimitSettings("[Other]\nMonthly=5\n[Limit]\n"
                                                "Monthly=1000       ; 0 or missing: no monthly limit\n"
                                                "Daily=12,5\r\ncycleday = 31\nWarnings=90, 50 ,75%\n"
                                                "HangUp=true\nCommand=\"notify ; me\"\n");
    EXPECT_TRUE(r.problems.isEmpty()) << r.problems.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(r.settings.monthly, 1000);
    EXPECT_EQ(r.settings.daily, 12.5);
    EXPECT_EQ(r.settings.cycleDay, 31);
    EXPECT_EQ(r.settings.warnings, (QList<int>{50, 75, 90}));
    EXPECT_TRUE(r.settings.hangUp);
    EXPECT_EQ(r.settings.command, QStringLiteral("notify ; me"));
}

TEST(LimitSettingsFile, ABadValueIsReportedByItsKeyAndTheDefaultUsed) {
    const struct {
        const char *line;
        const char *key;
    } cases[] = {{"Monthly=lots", "Monthly"}, {"Daily=-3", "Daily"},       {"CycleDay=0", "CycleDay"},
                 {"CycleDay=32", "CycleDay"}, {"Warnings=50,,80", "Warnings"}, {"Warnings=0", "Warnings"},
                 {"HangUp=maybe", "HangUp"}};
    const LimitSettings defaults;
    for (const auto &c : cases) {
        const LoadedSettings r = parseLimitSettings(QByteArray("[Limit]\nMonthly=300\n") + c.line + "\n");
        ASSERT_EQ(r.problems.size(), 1) << c.line;
        EXPECT_TRUE(r.problems.first().contains(QLatin1String(c.key))) << r.problems.first().toStdString();
        LimitSettings expected = defaults;
        expected.monthly = QByteArray(c.key) == "Monthly" ? 0 : 300;
        EXPECT_EQ(r.settings, expected) << c.line;
    }
}

TEST(LimitSettingsFile, WritingKeepsCommentsOtherSectionsAndLineEnds) {
    const QByteArray before = "; my limits\r\n[Limit]\r\nMonthly=1000   ; per month\r\nExtra=1\r\n\r\n[Other]\r\nA=b\r\n";
    LimitSettings s;
    s.monthly = 250.5;
    s.cycleDay = 15;
    const QByteArray after = updatedIni(before, s);
    EXPECT_TRUE(after.startsWith("; my limits\r\n[Limit]\r\nMonthly=250.5   ; per month\r\nExtra=1\r\nDaily=0\r\n"))
        << after.toStdString();
    EXPECT_TRUE(after.endsWith("\r\n[Other]\r\nA=b\r\n"));
    EXPECT_EQ(parseLimitSettings(after).settings, s);
    // A new file holds the section alone, and reads back the same.
    for (const char *command : {"echo \"Όριο\"; true", "warn ; log", "\"/opt/my tools/warn\" --now"}) {
        s.command = QString::fromUtf8(command);
        EXPECT_EQ(parseLimitSettings(updatedIni({}, s)).settings, s) << command;
    }
    // An amount typed with more decimals than the file keeps reads as what the dialog writes back.
    const LimitSettings typed = parseLimitSettings("[Limit]\nMonthly = .10050\nDaily=12.3456\n").settings;
    EXPECT_DOUBLE_EQ(typed.daily, 12.346);
    EXPECT_EQ(parseLimitSettings(updatedIni({}, typed)).settings, typed);
}

TEST(LimitState, NotifiedLevelsSurviveARestartAndANewCycleStartsAfresh) {
    QTemporaryDir dir;
    test::writeFile(QDir(dir.path()).filePath("data.dat"),
                    QByteArray("8|22|270|540|10|Euro").leftJustified(100, ' ') + "\r\n\r\n261201|0040,000");
    LimitSettings s;
    s.monthly = 100;
    const QDate day(2026, 12, 2);
    {
        LimitsMonitor m(dir.path());
        m.setSettings(s);
        EXPECT_TRUE(m.charged(day, 5).isEmpty());     // 45
        const QList<Warning> w = m.charged(day, 10); // 50
        ASSERT_EQ(w.size(), 1);
        EXPECT_EQ(w.first().level, 50);
        EXPECT_EQ(w.first().cycle.end, QDate(2026, 12, 31));
        EXPECT_TRUE(m.charged(day, 20).isEmpty());
    }
    LimitsMonitor again(dir.path());
    again.setSettings(s);
    EXPECT_TRUE(again.charged(day, 30).isEmpty());
    EXPECT_EQ(again.charged(day, 40).value(0).level, 80);
    // The next cycle notifies its own levels.
    EXPECT_EQ(again.charged(QDate(2027, 1, 1), 60).value(0).level, 50);
}

TEST(LimitsMonitor, CarriesTheDayTotalsOnAndReadsTheLedgerAgainForANewCycle) {
    QTemporaryDir dir;
    test::writeFile(QDir(dir.path()).filePath("data.dat"),
                    QByteArray("8|22|270|540|10|Euro").leftJustified(100, ' ') + "\r\n\r\n261201|0040,000\r\n270101|0003,000");
    LimitsMonitor m(dir.path());
    EXPECT_EQ(m.cycleSpend(QDate(2026, 12, 2), 5), 45);
    EXPECT_EQ(m.cycleSpend(QDate(2026, 12, 2), 7), 47);
    // The 2nd's 7 comes from the meter; the ledger, never written here, does not hold it.
    EXPECT_EQ(m.cycleSpend(QDate(2026, 12, 4), 1), 48);
    EXPECT_EQ(m.cycleSpend(QDate(2027, 1, 2), 2), 5);
    LimitSettings s;
    s.cycleDay = 2;
    m.setSettings(s);
    EXPECT_EQ(m.cycleSpend(QDate(2027, 1, 2), 2), 2);
}

TEST(LimitWarning, TheTextSaysSpentLimitAndWhatIsLeftPerDay) {
    Warning w;
    w.level = 80;
    w.cycle = {QDate(2026, 12, 1), QDate(2026, 12, 31)};
    w.figures = spendFigures(w.cycle, QDate(2026, 12, 22), 800, 1000);
    EXPECT_EQ(warningTitle(w), QStringLiteral("Όριο δαπάνης: 80%"));
    EXPECT_EQ(warningText(w, QStringLiteral("Δρχ"), QLocale(QLocale::Greek)),
              QStringLiteral("Ξοδέψατε 800,00 Δρχ από το όριο των 1000,00 Δρχ (80%) στον κύκλο 1/12/2026 – 31/12/2026. "
                             "Απομένουν 20,00 Δρχ την ημέρα για 10 ημέρες."));
}
