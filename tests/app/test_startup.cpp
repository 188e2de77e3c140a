#include "app/chartloader.h"
#include "app/startup.h"
#include "framework/application.h"
#include "framework/errors.h"
#include "options/tfrmoptions.h"
#include "platform/fakes/fakes.h"
#include "platform/linux/datafolder.h"
#include "shell/tform1.h"
#include "shell/trayicon.h"
#include "framework/clickarea.h"
#include "stats/chartwindow.h"
#include "stats/statspanel.h"
#include "support/parts.h"
#include "support/tempdir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateEdit>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::part;
using tarv::test::readFile;
using tarv::test::writeFile;

namespace {

struct FormRig {
    FormRig() {
        clock = std::make_shared<FakeClock>(QDateTime(QDate(2001, 3, 15), QTime(12, 0)));
        dialup = std::make_shared<FakeDialupService>();
        autostart = std::make_shared<MemoryAutostartStore>();
        platform = fakePlatform(dir.path(), clock, dialup, autostart);
        setErrorSink([this](const QString &m) { errors << m; });
    }
    ~FormRig() { setErrorSink({}); }
    QString ledgerPath() const { return dir.filePath(QStringLiteral("data.dat")); }

    QTemporaryDir dir;
    std::shared_ptr<FakeClock> clock;
    std::shared_ptr<FakeDialupService> dialup;
    std::shared_ptr<MemoryAutostartStore> autostart;
    Platform platform;
    QStringList errors;
};

// Runs the event loop until pred holds or ms have passed; true when it holds.
bool spinUntil(const std::function<bool()> &pred, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!pred() && !deadline.hasExpired())
        QTest::qWait(5);
    return pred();
}

} // namespace

TEST(Startup, WindowsAreCreatedHiddenWithTheIconAndTheTimer) {
    FormRig rig;
    Windows w = createWindows(rig.platform);
    ASSERT_TRUE(w.Form1);
    EXPECT_FALSE(w.Form1->isVisible());
    // The options dialog, the statistics panel and the chart window wait until they are asked for.
    EXPECT_EQ(w.Form1->optionsWindow(), nullptr);
    EXPECT_EQ(w.Form1->findChild<StatsPanel *>(), nullptr);
    EXPECT_EQ(w.Form1->chartWindow(), nullptr);
    EXPECT_TRUE(part<TTrayIcon>(w.Form1)->Active());
    EXPECT_TRUE(part<QTimer>(w.Form1, "tickTimer")->isActive());
    EXPECT_EQ(part<QTimer>(w.Form1, "tickTimer")->interval(), 1000);
    EXPECT_EQ(readFile(rig.ledgerPath()).size(), 119);
    EXPECT_EQ(part<QLabel>(w.Form1, "todayLabel")->text(), QStringLiteral("Σήμερα: 0 Δρχ"));
    EXPECT_TRUE(rig.errors.isEmpty());

    // The first tick sets the idle tip.
    w.Form1->timerTick();
    EXPECT_EQ(part<TTrayIcon>(w.Form1)->Tip(), QStringLiteral("Σύνδεση: Ανενεργή "));
}

TEST(Startup, AFailedLedgerStillGivesTheIconAndTheTimer) {
    FormRig rig;
    writeFile(rig.ledgerPath(), "8|22|abc|540|9|Euro\r\n\r\n010315|0000,000");
    Windows w = createWindows(rig.platform);
    ASSERT_EQ(rig.errors.size(), 1);
    EXPECT_TRUE(rig.errors.first().contains(QStringLiteral("'abc'")));
    EXPECT_TRUE(part<TTrayIcon>(w.Form1)->Active());
    EXPECT_TRUE(part<QTimer>(w.Form1, "tickTimer")->isActive());
}

TEST(Startup, TheFirstChartAskedForMakesTheChartWindowOnce) {
    FormRig rig;
    Windows w = createWindows(rig.platform);
#ifdef Q_OS_WIN
    // The Windows program links the chart window in.
    w.Form1->setChartFactory(chartWindowFactory());
#else
    // The test is not beside the module, as the program is: it names the module's place.
    w.Form1->setChartFactory(chartWindowFactory({rig.dir.filePath(QStringLiteral("missing.so")),
                                                 QStringLiteral(TARV_TEST_CHART_MODULE)}));
#endif
    w.Form1->showMonthChart(2003, 3);
    ChartWindow *chart = w.Form1->chartWindow();
    ASSERT_NE(chart, nullptr);
    EXPECT_TRUE(chart->isVisible());
    chart->hide();
    w.Form1->showMonthChart(2003, 4);
    EXPECT_EQ(w.Form1->chartWindow(), chart);
    EXPECT_TRUE(chart->isVisible());
    EXPECT_TRUE(rig.errors.isEmpty());
}

#ifndef Q_OS_WIN
TEST(Startup, AChartModuleThatIsThereButFailsIsTheAnswerNotTheNextOne) {
    FormRig rig;
    Windows w = createWindows(rig.platform);
    const QString broken = rig.dir.filePath(QStringLiteral("tarvchart.so"));
    writeFile(broken, "not a module");
    w.Form1->setChartFactory(chartWindowFactory({broken, QStringLiteral(TARV_TEST_CHART_MODULE)}));
    w.Form1->showMonthChart(2003, 3);
    EXPECT_EQ(w.Form1->chartWindow(), nullptr);
    ASSERT_EQ(rig.errors.size(), 1);
    EXPECT_TRUE(rig.errors.first().contains(broken)) << qPrintable(rig.errors.first());
}

TEST(Startup, OnlyTheInstalledProgramLooksWhereTheModuleWasInstalled) {
    QTemporaryDir unpacked;
    EXPECT_EQ(chartModuleCandidates(unpacked.path()), QStringList{unpacked.filePath(QStringLiteral("tarvchart.so"))});
    const QStringList installed = chartModuleCandidates(installedProgramFolder());
    ASSERT_EQ(installed.size(), 1);
    EXPECT_TRUE(installed.first().endsWith(QStringLiteral("/tarv/tarvchart.so")));
    EXPECT_FALSE(installed.first().startsWith(QStringLiteral(TARV_TEST_BUILD_DIR)));
    EXPECT_FALSE(installed.first().startsWith(installedProgramFolder()));
}
#endif

TEST(Startup, TheOptionsDialogAndTheStatisticsPanelAreMadeWhenFirstOpened) {
    FormRig rig;
    Windows w = createWindows(rig.platform);
    part<ClickArea>(w.Form1, "optionsButton")->onClick();
    TfrmOptions *options = w.Form1->optionsWindow();
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(options->isVisible());
    options->hide();
    part<ClickArea>(w.Form1, "optionsButton")->onClick();
    EXPECT_EQ(w.Form1->optionsWindow(), options);

    // A panel made later shows what it would have followed: the calculator starts at the day
    // the program started, and the totals of the last write of the day's total.
    rig.clock->set(QDateTime(QDate(2001, 3, 16), QTime(9, 0)));
    w.Form1->saveData();
    StatsPanel *panel = w.Form1->statsPanel();
    EXPECT_EQ(part<QDateEdit>(panel, "fromPicker")->date(), QDate(2001, 3, 15));
    EXPECT_FALSE(part<QTableWidget>(panel, "monthGrid")->item(0, 1)->text().isEmpty());
    EXPECT_TRUE(rig.errors.isEmpty());
}

TEST(Startup, AChartWindowThatCannotBeMadeIsOneErrorAndTheWindowCarriesOn) {
    FormRig rig;
    Windows w = createWindows(rig.platform);
    int asked = 0;
    w.Form1->setChartFactory([&](const Meter *, QWidget *) -> std::unique_ptr<ChartWindow> {
        ++asked;
        throw Exception(QStringLiteral("no module"));
    });
    w.Form1->showMonthChart(2003, 3);
    w.Form1->showMonthChart(2003, 4);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(w.Form1->chartWindow(), nullptr);
    ASSERT_EQ(rig.errors.size(), 1);
    EXPECT_TRUE(rig.errors.first().contains(QStringLiteral("no module")));
}

TEST(Startup, AnErrorOfEveryTickIsShownOnceAndTheProgramCarriesOn) {
    FormRig rig;
    Windows w = createWindows(rig.platform);
    QFile::remove(rig.ledgerPath());
    QDir(rig.dir.path()).mkdir(QStringLiteral("data.dat")); // a folder where the ledger should be
    rig.dialup->setSingle(DialState::Connected);
    // Every tick asks the dial-up service once.
    int &ticks = rig.dialup->enumerations;
    ticks = 0;
    part<QTimer>(w.Form1, "tickTimer")->setInterval(5);
    // The connect transition fails at every tick, but the timer runs on; the error shows once.
    ASSERT_TRUE(spinUntil([&] { return ticks >= 10; }));
    EXPECT_TRUE(part<QTimer>(w.Form1, "tickTimer")->isActive());
    ASSERT_EQ(rig.errors.size(), 1);
    // Once the cause has gone (a tick without error) and comes back, it shows again.
    rig.dialup->setSingle(-1);
    ticks = 0;
    ASSERT_TRUE(spinUntil([&] { return ticks >= 2; }));
    EXPECT_EQ(rig.errors.size(), 1);
    rig.dialup->setSingle(DialState::Connected);
    ASSERT_TRUE(spinUntil([&] { return rig.errors.size() >= 2; }));
    ticks = 0;
    ASSERT_TRUE(spinUntil([&] { return ticks >= 5; }));
    EXPECT_EQ(rig.errors.size(), 2);
    EXPECT_EQ(rig.errors.at(1), rig.errors.at(0));
}

TEST(Startup, TheMainWindowsExitRequestAsksTheQuestionAndNoKeepsTheProgram) {
    FormRig rig;
    Windows w = createWindows(rig.platform);
    w.Form1->toggleMainWindow();
    QString asked;
    // Answers No as soon as the question is up; the question runs its own loop.
    QTimer::singleShot(0, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            asked = box->text();
            box->button(QMessageBox::No)->click();
        }
    });
    emit w.Form1->exitRequested();
    EXPECT_EQ(asked, exitConfirmText());
    EXPECT_TRUE(w.Form1->isVisible());
    EXPECT_TRUE(part<QTimer>(w.Form1, "tickTimer")->isActive());
}

TEST(Startup, ExitQuestionIsThreeLinesJoinedByCarriageReturns) {
    const QString text = exitConfirmText();
    EXPECT_EQ(text.count(QLatin1Char('\r')), 2);
    EXPECT_FALSE(text.contains(QLatin1Char('\n')));
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("Αν κλείσετε το πρόγραμμα, η μέτρηση θα σταματήσει.\rΜπορείτε")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("επάνω δεξιά\rΘέλετε το πρόγραμμα να τερματιστεί;")));
}

TEST(Startup, UnderAGreekLocaleTheExitQuestionAnswersNaiAndOchi) {
    ASSERT_EQ(QLocale().language(), QLocale::Greek) << "the tests run with LANG=el_GR.UTF-8";
    const std::unique_ptr<QTranslator> translator(installQtTranslation());
    ASSERT_NE(translator, nullptr);
    FormRig rig;
    Windows w = createWindows(rig.platform);
    w.Form1->toggleMainWindow();
    QStringList answers;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) return;
        for (const auto button : {QMessageBox::Yes, QMessageBox::No})
            answers << box->button(button)->text().remove(QLatin1Char('&'));
        const QString folder = QStringLiteral(TARV_SCREENSHOT_DIR);
        QDir().mkpath(folder);
        box->grab().save(folder + QStringLiteral("/exit_question.png"));
        QTest::keyClick(box, Qt::Key_Escape); // Esc is No
    });
    emit w.Form1->exitRequested();
    EXPECT_EQ(answers, QStringList({QStringLiteral("Ναι"), QStringLiteral("Όχι")}));
    EXPECT_TRUE(w.Form1->isVisible());
}
