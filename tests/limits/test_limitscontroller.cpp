// The limits in the program: the meter's charges bring one notification per level, the user's
// command gets the warning in its environment, and the dialog writes tarv.ini only on OK.
#include "framework/errors.h"
#include "limits/limitscontroller.h"
#include "limits/limitsdialog.h"
#include "meter/meterfixture.h"
#include "shell/faketrayhost.h"
#include "shell/tform1.h"
#include "shell/trayicon.h"
#include "stats/clicklabel.h"
#include "stats/statspanel.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace tarv;
using namespace tarv::limits;

namespace {

struct LimitsRig {
    test::MeterRig meter{QDateTime(QDate(2026, 12, 9), QTime(12, 0))};
    QStringList balloons;
    std::unique_ptr<LimitsController> limits;
    QStringList titles;
    QStringList texts;

    explicit LimitsRig(const QByteArray &ini) {
        if (!ini.isEmpty()) test::writeFile(iniPath(), ini);
        meter.create();
        limits = std::make_unique<LimitsController>(
            *meter.meter, [this](const QString &title, const QString &) { return balloons << title, true; }, nullptr);
        QObject::connect(&limits->notifier(), &LimitsNotifier::delivered,
                         [this](const QString &title, const QString &text, bool) {
                             titles << title;
                             texts << text;
                         });
    }
    QString iniPath() const { return meter.dir.filePath(QStringLiteral("tarv.ini")); }
    // Dials and lets units be charged (one at once, one every 270 seconds in zone A).
    void charge(int units) {
        meter.dialup->setSingle(DialState::Connected);
        for (int i = 0; i < units; ++i) meter.tickAfter(meter.meter->s.online ? 270000 : 0);
    }
    // Lets the queued deliveries and the replies they wait for arrive.
    void settle(int expectedTitles) {
        (void)QTest::qWaitFor([&] { return titles.size() >= expectedTitles; }, 5000);
        QTest::qWait(50);
    }
};

} // namespace

TEST(LimitsController, OneNotificationPerLevelInOrderAndNoneAfterARestart) {
    // 9 a unit: 9, 18, 27, 36 of 36 pass 25, 50, 75 and 100 per cent one by one.
    LimitsRig rig("[Limit]\nMonthly=36\nWarnings=25,50,75,100\n");
    rig.charge(5);
    rig.settle(4);
    EXPECT_EQ(rig.titles, (QStringList{"Όριο δαπάνης: 25%", "Όριο δαπάνης: 50%", "Όριο δαπάνης: 75%",
                                       "Όριο δαπάνης: 100%"}));
    EXPECT_TRUE(rig.texts.value(1).startsWith(QStringLiteral("Ξοδέψατε 18,00 Δρχ από το όριο των 36,00 Δρχ (50%)")));
    // The program starts again over the same folder: the levels stay notified.
    rig.limits.reset();
    rig.titles.clear();
    LimitsController again(*rig.meter.meter, {}, nullptr);
    QObject::connect(&again.notifier(), &LimitsNotifier::delivered, [&](const QString &title) { rig.titles << title; });
    rig.charge(2);
    QTest::qWait(200);
    EXPECT_TRUE(rig.titles.isEmpty());
}

TEST(LimitsController, ABadValueIsReportedOnceAndTheCommandGetsTheWarning) {
    QTemporaryDir out;
    const QString envFile = QDir(out.path()).filePath(QStringLiteral("env.txt"));
    LimitsRig rig("[Limit]\nMonthly=9\nCycleDay=40\nWarnings=100\nCommand=sh -c \"env > '" + envFile.toUtf8() +
                  "'\"\n");
    rig.settle(1);
    ASSERT_EQ(rig.titles.size(), 1);
    EXPECT_EQ(rig.titles.first(), QStringLiteral("Tarv: tarv.ini"));
    rig.limits->reload();
    rig.charge(1);
    rig.settle(2);
    EXPECT_EQ(rig.titles.value(1), QStringLiteral("Όριο δαπάνης: 100%"));
    EXPECT_EQ(rig.titles.size(), 2) << "the bad value was reported again";
    ASSERT_TRUE(QTest::qWaitFor([&] { return test::readFile(envFile).contains("TARV_CYCLE_END"); }, 5000));
    const QByteArray env = test::readFile(envFile);
    for (const char *line : {"TARV_LEVEL=100\n", "TARV_SPENT=9\n", "TARV_LIMIT=9\n", "TARV_CURRENCY=Δρχ\n",
                             "TARV_CYCLE_START=2026-12-01\n", "TARV_CYCLE_END=2026-12-31\n"})
        EXPECT_TRUE(env.contains(line)) << line;
}

TEST(LimitsController, HangUpWhereTheServiceCannotSaysSoAndAFailedCommandIsShownOnce) {
    LimitsRig rig("[Limit]\nDaily=9\nMonthly=18\nWarnings=100\nHangUp=true\nCommand=/nonexistent/tarv-warn\n");
    rig.charge(2);
    rig.settle(3);
    EXPECT_EQ(rig.titles, (QStringList{"Ημερήσιο όριο: 100%", "Tarv: εντολή", "Όριο δαπάνης: 100%"}));
    EXPECT_TRUE(rig.texts.value(0).contains(QStringLiteral("Η σύνδεση δεν έκλεισε"))) << rig.texts.value(0).toStdString();
}

TEST(LimitsDialog, OkWritesTheFileAndABadFieldKeepsTheDialogOpen) {
    LimitsRig rig("; mine\n[Limit]\nMonthly=100 ; a month\n");
    rig.limits->openDialog();
    LimitsDialog *d = rig.limits->dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(d->figuresText().contains(QStringLiteral("1/12/2026 – 31/12/2026: 0,00 Δρχ (0%)")))
        << d->figuresText().toStdString();
    auto *warnings = d->findChild<QLineEdit *>(QStringLiteral("warningsEdit"));
    warnings->setText(QStringLiteral("50,abc"));
    d->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(d->errorText().isEmpty());
    EXPECT_EQ(test::readFile(rig.iniPath()), QByteArray("; mine\n[Limit]\nMonthly=100 ; a month\n"));

    warnings->setText(QStringLiteral("60, 90"));
    d->findChild<QLineEdit *>(QStringLiteral("monthlyEdit"))->setText(QStringLiteral("250,5"));
    d->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(test::readFile(rig.iniPath()).startsWith("; mine\n[Limit]\nMonthly=250.5 ; a month\n"));
    EXPECT_EQ(rig.limits->settings().warnings, (QList<int>{60, 90}));
    EXPECT_EQ(rig.limits->settings().monthly, 250.5);
}

TEST(LimitsDialog, Screenshot) {
    LimitsRig rig("[Limit]\nMonthly=1000\nDaily=60\nCycleDay=1\nWarnings=50,80,100\n");
    rig.charge(3);
    rig.limits->openDialog();
    const QString folder = QStringLiteral(TARV_SCREENSHOT_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    QCoreApplication::processEvents();
    EXPECT_TRUE(rig.limits->dialog()->grab().save(folder + QStringLiteral("/limits_dialog.png")));
}

TEST(MeterChargeObserver, IsToldEveryChargeAndWhatItRaisesNeverReachesTheTick) {
    test::MeterRig rig;
    rig.create();
    QList<double> totals;
    rig.meter->setChargeObserver([&](const QDate &, double total) {
        totals << total;
        throw EInOutError(QStringLiteral("limits unavailable"));
    });
    rig.dialup->setSingle(DialState::Connected);
    rig.tickAfter(0);
    for (int i = 0; i < 2; ++i) EXPECT_NO_THROW(rig.tickAfter(270000));
    EXPECT_EQ(totals, (QList<double>{9, 18, 27}));
    EXPECT_TRUE(test::readFile(rig.ledgerPath()).endsWith("|0027,000"));
}

TEST(LimitsEntryPoints, TheTrayMenuItemAboveTheSeparatorAndTheStatisticsPanelAskForTheLimits) {
    TTrayIcon::setHostFactory([] { return std::make_unique<test::FakeTrayHost>(); });
    auto resetFactory = qScopeGuard([] { TTrayIcon::setHostFactory({}); });
    QTemporaryDir dir;
    TForm1 form(fakePlatform(dir.path()));
    form.FormCreate();
    QSignalSpy asked(&form, &TForm1::limitsRequested);
    const QList<QAction *> items = form.findChild<QMenu *>(QStringLiteral("trayMenu"))->actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[1]->text(), QStringLiteral("Όριο δαπάνης..."));
    EXPECT_EQ(items[2]->text(), QStringLiteral("Κλήσεις..."));
    EXPECT_TRUE(items[3]->isSeparator());
    items[1]->trigger();
    EXPECT_EQ(asked.count(), 1);
    form.statsPanel()->findChild<ClickLabel *>(QStringLiteral("limitsLabel"))->onClick();
    EXPECT_EQ(asked.count(), 2);
}
