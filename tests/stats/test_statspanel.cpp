#include "framework/application.h"
#include "framework/errors.h"
#include "framework/updown.h"
#include "statsrig.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::ledgerOf;
using tarv::test::StatsRig;

namespace {

QStringList column(const TForm1 &form, int c) {
    QStringList texts;
    for (int row = 0; row < 12; ++row)
        texts << form.StringGrid1->item(row, c)->text();
    return texts;
}

// Steps the year box to year with the stepper, as clicks would.
void stepTo(TForm1 &form, int year) {
    while (form.UpDown1->position() < year)
        form.UpDown1->step(UpDown::Button::Up);
    while (form.UpDown1->position() > year)
        form.UpDown1->step(UpDown::Button::Down);
}

} // namespace

TEST(StatsPanel, OpensWithTheMonthNamesAndNoCurrentRowAndCloses) {
    StatsRig rig(ledgerOf({"030315|0009,000"}));
    TForm1 &f = *rig.form;
    EXPECT_TRUE(f.Panel1->isHidden());
    f.StringGrid1->setCurrentCell(4, 1);
    f.buttonStatsClick();
    EXPECT_FALSE(f.Panel1->isHidden());
    EXPECT_EQ(f.Panel1->geometry(), QRect(12, 12, 259, 226));
    EXPECT_EQ(f.StringGrid1->currentRow(), -1);
    EXPECT_TRUE(f.StringGrid1->selectedItems().isEmpty());
    // Nominative month names, and no totals until the year is first stepped or a unit is written.
    const QStringList names = column(f, 0);
    EXPECT_EQ(names.first(), QStringLiteral("Ιανουάριος"));
    EXPECT_EQ(names.at(2), QStringLiteral("Μάρτιος"));
    EXPECT_EQ(names.last(), QStringLiteral("Δεκέμβριος"));
    EXPECT_EQ(column(f, 1), QStringList(12, QString()));
    EXPECT_EQ(f.boxYear->text(), QStringLiteral("2000"));

    f.buttonStatsClick();
    EXPECT_TRUE(f.Panel1->isHidden());
    f.buttonStatsClick();
    f.buttonStatsCloseClick();
    EXPECT_TRUE(f.Panel1->isHidden());
    // The statistics button of the window reaches the panel through its hook.
    ASSERT_TRUE(f.onButtonStats);
    f.onButtonStats();
    EXPECT_FALSE(f.Panel1->isHidden());
}

TEST(StatsPanel, TheOpenPanelParksTheBannerBelowTheWindow) {
    StatsRig rig(ledgerOf({}));
    TForm1 &f = *rig.form;
    QWidget *banner = f.findChild<QWidget *>(QStringLiteral("WebBrowser1"));
    std::unique_ptr<QWidget> own;
    if (!banner) {
        own = std::make_unique<QWidget>(&f);
        own->setObjectName(QStringLiteral("WebBrowser1"));
        banner = own.get();
    }
    banner->setGeometry(11, 69, 261, 150);
    f.buttonStatsClick();
    EXPECT_EQ(banner->geometry(), QRect(11, 450, 261, 150));
    f.buttonStatsClick();
    EXPECT_EQ(banner->y(), 69);
    // A banner that is not shown stays parked.
    f.buttonStatsClick();
    banner->hide();
    f.buttonStatsCloseClick();
    EXPECT_EQ(banner->y(), 450);
}

TEST(StatsPanel, TotalsOfTheChosenYearInTheGeneralFormat) {
    StatsRig rig(ledgerOf({"030301|0012,340", "030402|0000,100", "030403|0000,200", "040101|0001,000"}));
    TForm1 &f = *rig.form;
    f.boxYearChange();
    EXPECT_EQ(column(f, 1), QStringList(12, QStringLiteral("0 Δρχ"))); // 2000 has no records
    stepTo(f, 2003);
    const QStringList totals = column(f, 1);
    EXPECT_EQ(totals.at(2), QStringLiteral("12,34 Δρχ"));
    EXPECT_EQ(totals.at(3), QStringLiteral("0,3 Δρχ"));
    EXPECT_EQ(totals.at(0), QStringLiteral("0 Δρχ"));
    // Stepping recomputes at once; the months column is not touched.
    f.StringGrid1->item(0, 0)->setText(QStringLiteral("marker"));
    f.UpDown1->step(UpDown::Button::Up);
    EXPECT_EQ(f.boxYear->text(), QStringLiteral("2004"));
    EXPECT_EQ(column(f, 1).at(0), QStringLiteral("1 Δρχ"));
    EXPECT_EQ(f.StringGrid1->item(0, 0)->text(), QStringLiteral("marker"));
}

TEST(StatsPanel, TheYearStepperRunsFrom2000To2099) {
    StatsRig rig(ledgerOf({"990705|0007,000", "000101|0001,000"}));
    TForm1 &f = *rig.form;
    f.UpDown1->step(UpDown::Button::Down);
    EXPECT_EQ(f.boxYear->text(), QStringLiteral("2000"));
    stepTo(f, 2099);
    EXPECT_EQ(f.boxYear->text(), QStringLiteral("2099"));
    EXPECT_EQ(column(f, 1).at(6), QStringLiteral("7 Δρχ"));
    f.UpDown1->step(UpDown::Button::Up);
    EXPECT_EQ(f.boxYear->text(), QStringLiteral("2099"));
    EXPECT_EQ(f.UpDown1->position(), 2099);
}

TEST(StatsPanel, EveryLedgerWriteRecomputesTheYear) {
    StatsRig rig(ledgerOf({"030301|0001,000"}), QDateTime(QDate(2003, 3, 15), QTime(12, 0)));
    TForm1 &f = *rig.form;
    stepTo(f, 2003);
    f.meter().initState();
    f.readData(QDate(2003, 3, 15));
    f.state().todayAccrued = 9;
    f.saveData();
    EXPECT_EQ(column(f, 1).at(2), QStringLiteral("10 Δρχ"));
}

TEST(StatsPanel, AnUnreadableLedgerKeepsTheOldTotalsAndRangeTotal) {
    StatsRig rig(ledgerOf({"000301|0001,000"}));
    TForm1 &f = *rig.form;
    f.boxYearChange();
    f.setCalcDates(QDate(2000, 3, 1));
    f.calcRange();
    QFile::remove(rig.ledgerPath());
    EXPECT_THROW(f.boxYearChange(), EInOutError);
    EXPECT_EQ(column(f, 1).at(2), QStringLiteral("1 Δρχ"));
    EXPECT_THROW(f.calcRange(), EInOutError);
    EXPECT_EQ(f.CalcBox->text(), QStringLiteral("1,00 Δρχ"));
    rig.writeLedger(ledgerOf({"000301|00x1,000"}));
    EXPECT_THROW(f.boxYearChange(), EConvertError);
    EXPECT_EQ(column(f, 1).at(2), QStringLiteral("1 Δρχ"));
}

TEST(StatsPanel, ClickingAMonthShowsItsChart) {
    StatsRig rig(ledgerOf({"030305|0004,500"}));
    TForm1 &f = *rig.form;
    f.buttonStatsClick();
    // No current row right after opening: nothing happens.
    f.StringGrid1Click();
    EXPECT_FALSE(rig.graph->isVisible());
    stepTo(f, 2003);
    f.QWidget::show();
    const QRect cell = f.StringGrid1->visualItemRect(f.StringGrid1->item(2, 1));
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(rig.graph->chartMonth, 3);
    EXPECT_EQ(rig.graph->chartYear, 2003);
    EXPECT_TRUE(rig.graph->isVisible());
}

TEST(Calculator, TheTabExpandsWithATotalAndCollapsesWithoutOne) {
    StatsRig rig(ledgerOf({"030315|0009,000", "030316|0018,000"}));
    TForm1 &f = *rig.form;
    f.setCalcDates(QDate(2003, 3, 15));
    EXPECT_EQ(f.panelCalc->width(), 17);
    EXPECT_EQ(f.CalcBox->text(), QString()); // setting the pickers from the program computes nothing
    f.buttonShowCalc->click();
    EXPECT_EQ(f.panelCalc->geometry(), QRect(100, 17, 160, 240));
    EXPECT_EQ(f.buttonShowCalc->text(), QStringLiteral(">"));
    EXPECT_EQ(f.CalcBox->text(), QStringLiteral("9,00 Δρχ"));
    f.CalcBox->setText(QStringLiteral("typed"));
    f.buttonShowCalc->click();
    EXPECT_EQ(f.panelCalc->geometry(), QRect(244, 17, 16, 240));
    EXPECT_EQ(f.buttonShowCalc->text(), QStringLiteral("<"));
    EXPECT_EQ(f.CalcBox->text(), QStringLiteral("typed"));
}

TEST(Calculator, ThePickersKeepTheRangeValid) {
    StatsRig rig(ledgerOf({"030315|0009,000", "030316|0018,000", "000101|0000,500"}));
    TForm1 &f = *rig.form;
    f.setCalcDates(QDate(2003, 3, 15));

    f.DatePick2->setDate(QDate(2003, 3, 20)); // the user widens the range
    EXPECT_EQ(f.CalcBox->text(), QStringLiteral("27,00 Δρχ"));
    f.datePick1->setDate(QDate(2003, 3, 25)); // a first date after the second pushes it along
    EXPECT_EQ(f.DatePick2->date(), QDate(2003, 3, 25));
    EXPECT_EQ(f.CalcBox->text(), QStringLiteral("0,00 Δρχ"));
    f.DatePick2->setDate(QDate(2003, 3, 16)); // a second date before the first pulls it back
    EXPECT_EQ(f.datePick1->date(), QDate(2003, 3, 16));
    EXPECT_EQ(f.CalcBox->text(), QStringLiteral("18,00 Δρχ"));

    f.datePick1->setDate(QDate(1999, 12, 31));
    EXPECT_EQ(f.datePick1->date(), QDate(2000, 1, 1));
    EXPECT_EQ(f.DatePick2->date(), QDate(2003, 3, 16));
    EXPECT_EQ(f.CalcBox->text(), QStringLiteral("27,50 Δρχ"));
    f.DatePick2->setDate(QDate(1999, 12, 31));
    EXPECT_EQ(f.datePick1->date(), QDate(2000, 1, 1));
    EXPECT_EQ(f.DatePick2->date(), QDate(2000, 1, 1));
    EXPECT_EQ(f.CalcBox->text(), QStringLiteral("0,50 Δρχ"));
}

TEST(StatsPanel, LedgerErrorsOfTheYearPickersAndGridAreShownNotThrown) {
    StatsRig rig(ledgerOf({"030305|0004,500"}));
    QStringList errors;
    setErrorSink([&](const QString &m) { errors << m; });
    auto restore = qScopeGuard([] { setErrorSink({}); });
    TForm1 &f = *rig.form;
    f.buttonStatsClick();
    f.QWidget::show();
    QFile::remove(rig.ledgerPath());
    stepTo(f, 2003);
    EXPECT_EQ(errors.size(), 3); // 2000 -> 2001 -> 2002 -> 2003
    f.datePick1->setDate(QDate(2003, 3, 1));
    f.DatePick2->setDate(QDate(2003, 3, 9));
    EXPECT_EQ(errors.size(), 5);
    const QRect cell = f.StringGrid1->visualItemRect(f.StringGrid1->item(2, 1));
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(errors.size(), 6);
    EXPECT_TRUE(errors.last().contains(rig.ledgerPath()));
}
