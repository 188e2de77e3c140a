#include "optionsrig.h"
#include "stats/statspanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>

namespace tarv::test {

using Button = UpDown::Button;

struct Hours {
    int aFrom, aTo;
};

// The four hour fields and the bounds that keep zone A at least one hour long.
void expectHours(TfrmOptions &d, Hours h) {
    EXPECT_EQ(d.tmAfrom->text(), QString::number(h.aFrom));
    EXPECT_EQ(d.tmAto->text(), QString::number(h.aTo));
    EXPECT_EQ(d.tmBfrom->text(), QString::number(h.aTo));
    EXPECT_EQ(d.tmBto->text(), QString::number(h.aFrom));
    EXPECT_EQ(d.UpDown1->maximum(), h.aTo - 1);
    EXPECT_EQ(d.UpDown4->maximum(), h.aTo - 1);
    EXPECT_EQ(d.UpDown2->minimum(), h.aFrom + 1);
    EXPECT_EQ(d.UpDown3->minimum(), h.aFrom + 1);
    EXPECT_EQ(d.UpDown1->minimum(), 0);
    EXPECT_EQ(d.UpDown2->maximum(), 23);
}

TEST(OptionsDialog, ButtonPicturesWaitForTheFirstShowing) {
    OptionsRig rig;
    EXPECT_TRUE(rig.dialog->BitBtn1->icon().isNull());
    rig.open();
    EXPECT_FALSE(rig.dialog->BitBtn1->icon().isNull());
    EXPECT_FALSE(rig.dialog->BitBtn2->icon().isNull());
}

TEST(OptionsDialog, ActivationFillsTheFieldsFromTheMeterState) {
    OptionsRig rig;
    MeterState &s = rig.state();
    s.zoneAFrom = 7;
    s.zoneATo = 23;
    s.zoneASeconds = 180;
    s.zoneBSeconds = 360;
    s.unitPrice = 0.59;
    s.currencyLabel = QStringLiteral("Euro");
    rig.autostart->values[kAutostartName] = QStringLiteral("/opt/tarv/tarv");
    rig.dialog->checkreg->setChecked(false);
    rig.open();

    TfrmOptions &d = *rig.dialog;
    ASSERT_TRUE(d.isVisible());
    expectHours(d, {7, 23});
    EXPECT_EQ(d.tmAsec->text(), "180");
    EXPECT_EQ(d.tmBsec->text(), "360");
    EXPECT_EQ(d.boxprice->text(), "0,59");
    EXPECT_EQ(d.boxcur->currentText(), "Euro");
    EXPECT_EQ(priceScale, 100);
    EXPECT_EQ(d.UpDown7->position(), 0);
    EXPECT_TRUE(d.checkreg->isChecked());

    // The autostart value gone, the next showing reads the box unchecked.
    d.BitBtn2Click();
    rig.autostart->values.clear();
    rig.open();
    EXPECT_FALSE(d.checkreg->isChecked());
}

TEST(OptionsDialog, HourSteppersKeepZoneAAtLeastOneHourLong) {
    OptionsRig rig;
    rig.open();
    TfrmOptions &d = *rig.dialog;
    expectHours(d, {8, 22});
    EXPECT_EQ(d.UpDown1->maximum(), 21);
    EXPECT_EQ(d.UpDown2->minimum(), 9);

    // Zone A's first hour up to 9: zone B's last hour follows, and zone A's end stops at 10.
    OptionsRig::click(d.UpDown1, Button::Up);
    expectHours(d, {9, 22});
    OptionsRig::click(d.UpDown2, Button::Down, 30);
    expectHours(d, {9, 10});

    // From either zone's steppers the hours meet at one hour and never cross.
    OptionsRig::click(d.UpDown4, Button::Up, 30);
    expectHours(d, {9, 10});
    OptionsRig::click(d.UpDown3, Button::Up, 30);
    expectHours(d, {9, 23});
    OptionsRig::click(d.UpDown4, Button::Up, 30);
    expectHours(d, {22, 23});
    OptionsRig::click(d.UpDown3, Button::Down, 30);
    expectHours(d, {22, 23});
    OptionsRig::click(d.UpDown1, Button::Down, 30);
    expectHours(d, {0, 23});
    OptionsRig::click(d.UpDown1, Button::Down);
    expectHours(d, {0, 23});
}

// Bounds left by a cancelled edit would exclude the stored hours while the fields are filled
// one after the other; the activation still ends with the stored hours and their bounds.
TEST(OptionsDialog, ActivationAfterACancelledEditShowsTheStoredHours) {
    const struct {
        Hours edited, stored;
    } cases[] = {
        {{8, 9}, {15, 20}}, {{8, 9}, {0, 1}},     {{20, 23}, {2, 5}},
        {{0, 1}, {22, 23}}, {{10, 11}, {10, 11}}, {{3, 4}, {12, 13}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1-%2 then %3-%4")
                         .arg(c.edited.aFrom)
                         .arg(c.edited.aTo)
                         .arg(c.stored.aFrom)
                         .arg(c.stored.aTo)
                         .toStdString());
        OptionsRig rig;
        rig.state().zoneAFrom = c.edited.aFrom;
        rig.state().zoneATo = c.edited.aTo;
        rig.open();
        rig.dialog->BitBtn2Click();
        rig.state().zoneAFrom = c.stored.aFrom;
        rig.state().zoneATo = c.stored.aTo;
        rig.open();
        expectHours(*rig.dialog, c.stored);
    }
}

TEST(OptionsDialog, PriceStepperStartsFromTheWholePrice) {
    OptionsRig rig;
    rig.state().unitPrice = 7.5;
    rig.open();
    TfrmOptions &d = *rig.dialog;
    EXPECT_EQ(d.boxprice->text(), "7,5");
    EXPECT_EQ(d.UpDown7->position(), 70);
    OptionsRig::click(d.UpDown7, Button::Up);
    EXPECT_EQ(d.boxprice->text(), "7,10");

    rig.open(); // already shown: nothing is refilled
    EXPECT_EQ(d.boxprice->text(), "7,10");
    d.BitBtn2Click();
    rig.open();
    OptionsRig::click(d.UpDown7, Button::Down);
    EXPECT_EQ(d.boxprice->text(), "6,90");

    // A price beyond the stepper's range puts it at its top, and nothing overflows.
    d.BitBtn2Click();
    rig.state().unitPrice = 1e300;
    rig.open();
    EXPECT_EQ(d.UpDown7->position(), 15000);
}

TEST(OptionsDialog, CurrencySwitchKeepsTheWholeNumber) {
    OptionsRig rig;
    rig.state().unitPrice = 7.5;
    rig.open();
    TfrmOptions &d = *rig.dialog;
    OptionsRig::click(d.UpDown7, Button::Up, 5);
    EXPECT_EQ(d.UpDown7->position(), 75);
    EXPECT_EQ(d.boxprice->text(), "7,50");

    d.boxcur->setCurrentIndex(1); // "Euro" picked from the list
    EXPECT_EQ(d.boxcur->currentText(), "Euro");
    EXPECT_EQ(priceScale, 100);
    EXPECT_EQ(d.UpDown7->position(), 700);
    EXPECT_EQ(d.boxprice->text(), "7,50");
    OptionsRig::click(d.UpDown7, Button::Up);
    EXPECT_EQ(d.boxprice->text(), "7,01");

    OptionsRig::click(d.UpDown7, Button::Up, 24);
    EXPECT_EQ(d.UpDown7->position(), 725);
    d.boxcur->setCurrentIndex(0);
    EXPECT_EQ(priceScale, 10);
    EXPECT_EQ(d.UpDown7->position(), 70);
}

TEST(OptionsDialog, OnlyTheExactTextEuroSelectsHundredths) {
    OptionsRig rig;
    rig.state().unitPrice = 7;
    rig.open();
    TfrmOptions &d = *rig.dialog;
    d.boxcur->lineEdit()->clear();
    QTest::keyClicks(d.boxcur->lineEdit(), QStringLiteral("euro"));
    EXPECT_EQ(priceScale, 10);
    OptionsRig::click(d.UpDown7, Button::Up);
    EXPECT_EQ(d.boxprice->text(), "7,10");
    d.BitBtn1Click();
    EXPECT_EQ(rig.state().currencyLabel, "euro");
    EXPECT_DOUBLE_EQ(rig.state().unitPrice, 7.1);
}

TEST(OptionsDialog, OkStoresTheStateTheAutostartValueAndTheHeader) {
    OptionsRig rig;
    rig.open();
    TfrmOptions &d = *rig.dialog;
    OptionsRig::click(d.UpDown1, Button::Up);      // 9
    OptionsRig::click(d.UpDown2, Button::Down, 2); // 20
    OptionsRig::click(d.UpDown5, Button::Up, 30);  // 300
    OptionsRig::click(d.UpDown6, Button::Down);    // 539
    OptionsRig::click(d.UpDown7, Button::Up, 5);   // 9,50
    d.checkreg->setChecked(true);
    QTest::mouseClick(d.BitBtn1, Qt::LeftButton);

    EXPECT_TRUE(rig.errors.isEmpty()) << rig.errors.join('\n').toStdString();
    EXPECT_FALSE(d.isVisible());
    const MeterState &s = rig.state();
    EXPECT_EQ(s.zoneAFrom, 9);
    EXPECT_EQ(s.zoneATo, 20);
    EXPECT_EQ(s.zoneASeconds, 300);
    EXPECT_EQ(s.zoneBSeconds, 539);
    EXPECT_DOUBLE_EQ(s.unitPrice, 9.5);
    EXPECT_EQ(s.currencyLabel, "Δρχ");
    EXPECT_EQ(rig.autostart->values.value(kAutostartName), "/opt/tarv/tarv");

    QByteArray expected = OptionsRig::ledgerBytes();
    QByteArray header = fmt::toCp1253(QStringLiteral("9|20|300|539|9,50|Δρχ"));
    header.append(95 - header.size(), ' ');
    expected.replace(0, 97, header + "\r\n");
    EXPECT_EQ(readFile(rig.ledgerPath()), expected);
    // The meter reads its tariff back from what was written.
    const TariffHeader read = Ledger::parseHeader(fmt::fromCp1253(expected.left(95)));
    EXPECT_EQ(read.zoneATo, 20);
    EXPECT_DOUBLE_EQ(read.unitPrice, 9.5);

    // Unchecked (here by a click on its caption), the value is deleted; deleting it again is no error.
    for (int round = 0; round < 2; ++round) {
        rig.open();
        ASSERT_EQ(d.checkreg->isChecked(), round == 0);
        if (round == 0) QTest::mouseClick(d.Label3, Qt::LeftButton);
        EXPECT_FALSE(d.checkreg->isChecked());
        d.BitBtn1Click();
        EXPECT_FALSE(rig.autostart->values.contains(kAutostartName));
    }
    EXPECT_TRUE(rig.errors.isEmpty());
}

TEST(OptionsDialog, LongCurrencyIsCutInTheFileAndKeptWholeInTheState) {
    OptionsRig rig;
    rig.open();
    TfrmOptions &d = *rig.dialog;
    const QString currency = QStringLiteral("Ευρώ").repeated(30);
    d.boxcur->setEditText(currency);
    d.BitBtn1Click();
    EXPECT_EQ(rig.state().currencyLabel, currency);
    const QByteArray bytes = readFile(rig.ledgerPath());
    ASSERT_EQ(bytes.size(), OptionsRig::ledgerBytes().size());
    const QByteArray full = fmt::toCp1253(QStringLiteral("8|22|270|540|9|") + currency);
    EXPECT_EQ(bytes.left(95), full.left(95));
    EXPECT_EQ(bytes.mid(95), OptionsRig::ledgerBytes().mid(95).replace(0, 2, "\r\n"));
}

TEST(OptionsDialog, SecondsPerUnitNeverFallBelowOne) {
    OptionsRig rig;
    rig.state().zoneASeconds = 0; // as if it had reached the state somehow
    rig.state().zoneBSeconds = 2;
    rig.open();
    TfrmOptions &d = *rig.dialog;
    EXPECT_EQ(d.tmAsec->text(), "1");
    OptionsRig::click(d.UpDown6, Button::Down, 5);
    EXPECT_EQ(d.tmBsec->text(), "1");
    d.BitBtn1Click();
    EXPECT_EQ(rig.state().zoneASeconds, 1);
    EXPECT_EQ(rig.state().zoneBSeconds, 1);
    EXPECT_TRUE(readFile(rig.ledgerPath()).startsWith("8|22|1|1|9|"));
}

// A change of the program's active window cancels the dialog; another program does not.
TEST(OptionsDialog, CancelAndOtherWindowsChangeNothing) {
    OptionsRig rig;
    rig.autostart->values[kAutostartName] = QStringLiteral("/opt/tarv/tarv");
    const MeterState before = rig.state();
    TfrmOptions &d = *rig.dialog;
    auto edit = [&] {
        OptionsRig::click(d.UpDown1, Button::Up, 3);
        OptionsRig::click(d.UpDown5, Button::Up, 3);
        OptionsRig::click(d.UpDown7, Button::Up, 3);
        d.boxcur->setEditText(QStringLiteral("Euro"));
        d.checkreg->setChecked(false);
    };
    auto expectUnchanged = [&] {
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(rig.state().zoneAFrom, before.zoneAFrom);
        EXPECT_EQ(rig.state().zoneASeconds, before.zoneASeconds);
        EXPECT_EQ(rig.state().unitPrice, before.unitPrice);
        EXPECT_EQ(rig.state().currencyLabel, before.currencyLabel);
        EXPECT_EQ(readFile(rig.ledgerPath()), OptionsRig::ledgerBytes());
        EXPECT_EQ(rig.autostart->values.value(kAutostartName), "/opt/tarv/tarv");
        rig.open();
        EXPECT_EQ(d.tmAfrom->text(), "8");
        EXPECT_EQ(d.tmAsec->text(), "270");
        EXPECT_EQ(d.boxprice->text(), "9");
        EXPECT_EQ(d.boxcur->currentText(), "Δρχ");
        EXPECT_TRUE(d.checkreg->isChecked());
    };

    rig.open();
    edit();
    QTest::mouseClick(d.BitBtn2, Qt::LeftButton);
    expectUnchanged();

    edit();
    QTest::keyClick(&d, Qt::Key_Escape);
    expectUnchanged();

    // Away to another program and back: the dialog stays, with what the user entered.
    edit();
    QApplication::setActiveWindow(nullptr);
    EXPECT_TRUE(d.isVisible());
    QApplication::setActiveWindow(&d);
    EXPECT_EQ(d.tmAfrom->text(), "11");
    // A click on the main window, even after a visit to another program, is a Cancel.
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(rig.form.get());
    expectUnchanged();
    EXPECT_TRUE(rig.errors.isEmpty());
}

TEST(OptionsDialog, ComingFromAnotherWindowOfTheProgramRefills) {
    OptionsRig rig;
    rig.open();
    TfrmOptions &d = *rig.dialog;
    // Shown again while the main window is active (its Options button), the dialog is refilled.
    QApplication::setActiveWindow(rig.form.get());
    EXPECT_FALSE(d.isVisible());
    rig.state().zoneAFrom = 5;
    rig.open();
    EXPECT_EQ(d.tmAfrom->text(), "5");
}

TEST(OptionsDialog, EnterPressesOkAndAPlainShowFillsTheDialog) {
    OptionsRig rig;
    rig.open();
    TfrmOptions &d = *rig.dialog;
    d.boxcur->lineEdit()->clear();
    d.boxcur->lineEdit()->insert(QStringLiteral("€"));
    QTest::keyClick(d.boxcur->lineEdit(), Qt::Key_Return);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(rig.state().currencyLabel, QStringLiteral("€"));
    EXPECT_EQ(d.boxcur->count(), 2); // a typed currency is not added to the list
    EXPECT_TRUE(readFile(rig.ledgerPath()).startsWith("8|22|270|540|9|\x80 "));

    rig.state().zoneBSeconds = 600;
    d.show();
    EXPECT_EQ(d.tmBsec->text(), "600");
}

TEST(OptionsDialog, FailedHeaderWriteShowsTheErrorAndKeepsTheDialogOpen) {
    OptionsRig rig;
    rig.open();
    TfrmOptions &d = *rig.dialog;
    OptionsRig::click(d.UpDown5, Button::Up);
    d.checkreg->setChecked(true);
    QFile::remove(rig.ledgerPath());
    QTest::mouseClick(d.BitBtn1, Qt::LeftButton);

    ASSERT_EQ(rig.errors.size(), 1);
    EXPECT_TRUE(rig.errors.first().contains(QStringLiteral("data.dat")));
    EXPECT_FALSE(QFile::exists(rig.ledgerPath())); // never created by the header's rewrite
    EXPECT_TRUE(d.isVisible());
    // The steps before the header have been taken.
    EXPECT_EQ(rig.state().zoneASeconds, 271);
    EXPECT_TRUE(rig.autostart->values.contains(kAutostartName));

    // An error box over the dialog does not cancel it.
    QTimer::singleShot(0, [] {
        if (QWidget *box = QApplication::activeModalWidget()) box->close();
    });
    QMessageBox::critical(nullptr, QStringLiteral("x"), QStringLiteral("y"));
    EXPECT_TRUE(d.isVisible());
}

TEST(OptionsDialog, TypedCurrencyIsKeptAsTypedWithEnterAndWithOk) {
    OptionsRig rig;
    rig.state().unitPrice = 7;
    rig.open();
    TfrmOptions &d = *rig.dialog;
    d.boxcur->lineEdit()->selectAll();
    QTest::keyClicks(d.boxcur->lineEdit(), QStringLiteral("euro"));
    QTest::keyClick(d.boxcur->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(rig.state().currencyLabel, QStringLiteral("euro"));
    EXPECT_TRUE(readFile(rig.ledgerPath()).startsWith("8|22|270|540|7|euro "));
    EXPECT_EQ(priceScale, 10);

    rig.open();
    d.boxcur->lineEdit()->selectAll();
    // Key events that carry Greek letters, as a Greek keyboard sends them.
    for (const QChar c : QStringLiteral("δρχ"))
        QTest::sendKeyEvent(QTest::Click, d.boxcur->lineEdit(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::mouseClick(d.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(rig.state().currencyLabel, QStringLiteral("δρχ"));
    EXPECT_FALSE(d.isVisible());
}

TEST(OptionsDialog, HeaderWriteThatFailsAfterOpeningKeepsTheDialogOpen) {
    OptionsRig rig;
    if (!QFile::exists(QStringLiteral("/dev/full"))) GTEST_SKIP() << "no /dev/full";
    rig.open();
    TfrmOptions &d = *rig.dialog;
    // A file that opens but takes no byte, as a full disk does.
    QFile::remove(rig.ledgerPath());
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), rig.ledgerPath()));
    QTest::mouseClick(d.BitBtn1, Qt::LeftButton);
    ASSERT_EQ(rig.errors.size(), 1);
    EXPECT_TRUE(d.isVisible());
}

TEST(OptionsDialog, RoundedOutlineAndPlace) {
    OptionsRig rig;
    TfrmOptions &d = *rig.dialog;
    const QRegion mask = d.mask();
    EXPECT_TRUE(mask.contains(QPoint(156, 80)));
    EXPECT_TRUE(mask.contains(QPoint(30, 1)));
    EXPECT_FALSE(mask.contains(QPoint(1, 1)));
    EXPECT_FALSE(mask.contains(QPoint(311, 159)));

    // Centred over the main window the first time, and left there afterwards.
    rig.open();
    EXPECT_EQ(d.frameGeometry().center(), rig.form->frameGeometry().center());
    const QPoint first = d.pos();
    d.BitBtn2Click();
    rig.form->move(0, 0);
    rig.open();
    EXPECT_EQ(d.pos(), first);
}

} // namespace tarv::test

namespace tarv::test {

TEST(OptionsDialog, OkWithANewCurrencyRewritesTodayAndTheStatisticsAtOnce) {
    OptionsRig rig;
    rig.form->meter().initState();
    rig.form->readData(QDate(2001, 3, 15));
    auto *today = rig.form->findChild<QLabel *>(QStringLiteral("todayLabel"));
    ASSERT_EQ(today->text(), QStringLiteral("Σήμερα: 27 Δρχ"));
    StatsPanel *panel = rig.form->statsPanel();
    panel->toggle();
    QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("calcToggle")), Qt::LeftButton);
    auto *rangeTotal = panel->findChild<QLineEdit *>(QStringLiteral("rangeTotal"));
    ASSERT_TRUE(rangeTotal->text().endsWith(QStringLiteral(" Δρχ")));

    rig.open();
    TfrmOptions &d = *rig.dialog;
    d.boxcur->lineEdit()->selectAll();
    QTest::keyClicks(d.boxcur->lineEdit(), QStringLiteral("Euro"));
    QTest::mouseClick(d.BitBtn1, Qt::LeftButton);

    EXPECT_TRUE(rig.errors.isEmpty()) << rig.errors.join('\n').toStdString();
    // Off line no tick would write these again: OK does.
    EXPECT_EQ(today->text(), QStringLiteral("Σήμερα: 27 Euro"));
    EXPECT_TRUE(rangeTotal->text().endsWith(QStringLiteral(" Euro"))) << rangeTotal->text().toStdString();
    const auto *grid = panel->findChild<QTableWidget *>(QStringLiteral("monthGrid"));
    EXPECT_EQ(grid->item(2, 1)->text(), QStringLiteral("36 Euro"));
}

} // namespace tarv::test
