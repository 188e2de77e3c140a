#include "framework/application.h"
#include "framework/errors.h"
#include "framework/updown.h"
#include "statsrig.h"

#include <QCalendarWidget>
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

QStringList column(const StatsRig &rig, int c) {
    QStringList texts;
    for (int row = 0; row < 12; ++row)
        texts << rig.monthGrid()->item(row, c)->text();
    return texts;
}

// Steps the year box to year with the stepper, as clicks would.
void stepTo(const StatsRig &rig, int year) {
    UpDown *stepper = rig.yearStepper();
    while (stepper->position() < year)
        stepper->step(UpDown::Button::Up);
    while (stepper->position() > year)
        stepper->step(UpDown::Button::Down);
}

} // namespace

TEST(StatsPanel, OpensWithTheMonthNamesAndNoCurrentRowAndCloses) {
    StatsRig rig(ledgerOf({"030315|0009,000"}));
    StatsPanel &f = rig.panel();
    EXPECT_TRUE(f.isHidden());
    rig.monthGrid()->setCurrentCell(4, 1);
    f.toggle();
    EXPECT_FALSE(f.isHidden());
    EXPECT_EQ(f.geometry(), QRect(12, 12, 259, 226));
    EXPECT_EQ(rig.monthGrid()->currentRow(), -1);
    EXPECT_TRUE(rig.monthGrid()->selectedItems().isEmpty());
    // Nominative month names, and the totals of the clock's year.
    const QStringList names = column(rig, 0);
    EXPECT_EQ(names.first(), QStringLiteral("Ιανουάριος"));
    EXPECT_EQ(names.at(2), QStringLiteral("Μάρτιος"));
    EXPECT_EQ(names.last(), QStringLiteral("Δεκέμβριος"));
    EXPECT_EQ(column(rig, 1).at(2), QStringLiteral("9 Δρχ"));
    EXPECT_EQ(rig.yearBox()->text(), QStringLiteral("2003"));

    f.toggle();
    EXPECT_TRUE(f.isHidden());
    f.toggle();
    f.closePanel();
    EXPECT_TRUE(f.isHidden());
    // The window's statistics button opens it.
    rig.form->statsButtonClick();
    EXPECT_FALSE(f.isHidden());
}

TEST(StatsPanel, TheOpenPanelParksTheBannerBelowTheWindow) {
    StatsRig rig(ledgerOf({}));
    StatsPanel &f = rig.panel();
    QWidget *banner = rig.form->findChild<QWidget *>(QStringLiteral("banner"));
    std::unique_ptr<QWidget> own;
    if (!banner) {
        own = std::make_unique<QWidget>(rig.form.get());
        own->setObjectName(QStringLiteral("banner"));
        banner = own.get();
    }
    banner->setGeometry(11, 69, 261, 150);
    f.toggle();
    EXPECT_EQ(banner->geometry(), QRect(11, 450, 261, 150));
    f.toggle();
    EXPECT_EQ(banner->y(), 69);
    // A banner that is not shown stays parked.
    f.toggle();
    banner->hide();
    f.closePanel();
    EXPECT_EQ(banner->y(), 450);
}

TEST(StatsPanel, TotalsOfTheChosenYearInTheGeneralFormat) {
    StatsRig rig(ledgerOf({"030301|0012,340", "030402|0000,100", "030403|0000,200", "040101|0001,000"}));
    stepTo(rig, 2000);
    EXPECT_EQ(column(rig, 1), QStringList(12, QStringLiteral("0 Δρχ"))); // 2000 has no records
    stepTo(rig, 2003);
    const QStringList totals = column(rig, 1);
    EXPECT_EQ(totals.at(2), QStringLiteral("12,34 Δρχ"));
    EXPECT_EQ(totals.at(3), QStringLiteral("0,3 Δρχ"));
    EXPECT_EQ(totals.at(0), QStringLiteral("0 Δρχ"));
    // Stepping recomputes at once; the months column is not touched.
    rig.monthGrid()->item(0, 0)->setText(QStringLiteral("marker"));
    rig.yearStepper()->step(UpDown::Button::Up);
    EXPECT_EQ(rig.yearBox()->text(), QStringLiteral("2004"));
    EXPECT_EQ(column(rig, 1).at(0), QStringLiteral("1 Δρχ"));
    EXPECT_EQ(rig.monthGrid()->item(0, 0)->text(), QStringLiteral("marker"));
}

TEST(StatsPanel, TheYearStepperRunsFrom2000To2099) {
    StatsRig rig(ledgerOf({"990705|0007,000", "000101|0001,000"}));
    stepTo(rig, 2000);
    rig.yearStepper()->step(UpDown::Button::Down);
    EXPECT_EQ(rig.yearBox()->text(), QStringLiteral("2000"));
    stepTo(rig, 2099);
    EXPECT_EQ(rig.yearBox()->text(), QStringLiteral("2099"));
    EXPECT_EQ(column(rig, 1).at(6), QStringLiteral("7 Δρχ"));
    rig.yearStepper()->step(UpDown::Button::Up);
    EXPECT_EQ(rig.yearBox()->text(), QStringLiteral("2099"));
    EXPECT_EQ(rig.yearStepper()->position(), 2099);
}

TEST(StatsPanel, EveryLedgerWriteRecomputesTheYear) {
    StatsRig rig(ledgerOf({"030301|0001,000"}), QDateTime(QDate(2003, 3, 15), QTime(12, 0)));
    stepTo(rig, 2003);
    rig.form->meter().initState();
    rig.form->readData(QDate(2003, 3, 15));
    rig.form->state().todayAccrued = 9;
    rig.form->saveData();
    EXPECT_EQ(column(rig, 1).at(2), QStringLiteral("10 Δρχ"));
}

TEST(StatsPanel, AnUnreadableLedgerKeepsTheOldTotalsAndRangeTotal) {
    StatsRig rig(ledgerOf({"000301|0001,000"}));
    StatsPanel &f = rig.panel();
    stepTo(rig, 2000);
    f.setCalcDates(QDate(2000, 3, 1));
    f.showRangeTotal();
    QFile::remove(rig.ledgerPath());
    EXPECT_THROW(f.showYearTotals(), EInOutError);
    EXPECT_EQ(column(rig, 1).at(2), QStringLiteral("1 Δρχ"));
    EXPECT_THROW(f.showRangeTotal(), EInOutError);
    EXPECT_EQ(rig.rangeTotal()->text(), QStringLiteral("1,00 Δρχ"));
    rig.writeLedger(ledgerOf({"000301|00x1,000"}));
    EXPECT_THROW(f.showYearTotals(), EConvertError);
    EXPECT_EQ(column(rig, 1).at(2), QStringLiteral("1 Δρχ"));
}

TEST(StatsPanel, ClickingAMonthShowsItsChart) {
    StatsRig rig(ledgerOf({"030305|0004,500"}));
    StatsPanel &f = rig.panel();
    f.toggle();
    // No current row right after opening: nothing happens.
    f.chooseMonth();
    EXPECT_FALSE(rig.graph->isVisible());
    stepTo(rig, 2003);
    rig.form->QWidget::show();
    const QRect cell = rig.monthGrid()->visualItemRect(rig.monthGrid()->item(2, 1));
    QTest::mouseClick(rig.monthGrid()->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(rig.graph->chartMonth, 3);
    EXPECT_EQ(rig.graph->chartYear, 2003);
    EXPECT_TRUE(rig.graph->isVisible());
}

TEST(Calculator, TheTabExpandsWithATotalAndCollapsesWithoutOne) {
    StatsRig rig(ledgerOf({"030315|0009,000", "030316|0018,000"}));
    StatsPanel &f = rig.panel();
    f.setCalcDates(QDate(2003, 3, 15));
    EXPECT_EQ(rig.calcTab()->width(), 17);
    EXPECT_EQ(rig.rangeTotal()->text(), QString()); // setting the pickers from the program computes nothing
    rig.calcToggle()->click();
    EXPECT_EQ(rig.calcTab()->geometry(), QRect(100, 17, 160, 240));
    EXPECT_EQ(rig.calcToggle()->text(), QStringLiteral(">"));
    EXPECT_EQ(rig.rangeTotal()->text(), QStringLiteral("9,00 Δρχ"));
    rig.rangeTotal()->setText(QStringLiteral("typed"));
    rig.calcToggle()->click();
    EXPECT_EQ(rig.calcTab()->geometry(), QRect(244, 17, 16, 240));
    EXPECT_EQ(rig.calcToggle()->text(), QStringLiteral("<"));
    EXPECT_EQ(rig.rangeTotal()->text(), QStringLiteral("typed"));
}

TEST(Calculator, ThePickersKeepTheRangeValid) {
    StatsRig rig(ledgerOf({"030315|0009,000", "030316|0018,000", "000101|0000,500"}));
    StatsPanel &f = rig.panel();
    f.setCalcDates(QDate(2003, 3, 15));

    rig.toPicker()->setDate(QDate(2003, 3, 20)); // the user widens the range
    EXPECT_EQ(rig.rangeTotal()->text(), QStringLiteral("27,00 Δρχ"));
    rig.fromPicker()->setDate(QDate(2003, 3, 25)); // a first date after the second pushes it along
    EXPECT_EQ(rig.toPicker()->date(), QDate(2003, 3, 25));
    EXPECT_EQ(rig.rangeTotal()->text(), QStringLiteral("0,00 Δρχ"));
    rig.toPicker()->setDate(QDate(2003, 3, 16)); // a second date before the first pulls it back
    EXPECT_EQ(rig.fromPicker()->date(), QDate(2003, 3, 16));
    EXPECT_EQ(rig.rangeTotal()->text(), QStringLiteral("18,00 Δρχ"));

    rig.fromPicker()->setDate(QDate(1999, 12, 31));
    EXPECT_EQ(rig.fromPicker()->date(), QDate(2000, 1, 1));
    EXPECT_EQ(rig.toPicker()->date(), QDate(2003, 3, 16));
    EXPECT_EQ(rig.rangeTotal()->text(), QStringLiteral("27,50 Δρχ"));
    rig.toPicker()->setDate(QDate(1999, 12, 31));
    EXPECT_EQ(rig.fromPicker()->date(), QDate(2000, 1, 1));
    EXPECT_EQ(rig.toPicker()->date(), QDate(2000, 1, 1));
    EXPECT_EQ(rig.rangeTotal()->text(), QStringLiteral("0,50 Δρχ"));
}

TEST(StatsPanel, LedgerErrorsOfTheYearPickersAndGridAreShownNotThrown) {
    StatsRig rig(ledgerOf({"030305|0004,500"}));
    QStringList errors;
    setErrorSink([&](const QString &m) { errors << m; });
    auto restore = qScopeGuard([] { setErrorSink({}); });
    StatsPanel &f = rig.panel();
    f.toggle();
    rig.form->QWidget::show();
    QFile::remove(rig.ledgerPath());
    stepTo(rig, 2000);
    EXPECT_EQ(errors.size(), 3); // 2003 -> 2002 -> 2001 -> 2000
    rig.fromPicker()->setDate(QDate(2003, 3, 1));
    rig.toPicker()->setDate(QDate(2003, 3, 9));
    EXPECT_EQ(errors.size(), 5);
    const QRect cell = rig.monthGrid()->visualItemRect(rig.monthGrid()->item(2, 1));
    QTest::mouseClick(rig.monthGrid()->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(errors.size(), 6);
    EXPECT_TRUE(errors.last().contains(rig.ledgerPath()));
}

namespace {

struct YearCase {
    const char *name;
    int clockYear;
    const char *shown;   // the year box when the panel first opens
    const char *stepped; // after one click on the upper arrow
};

class YearAtStart : public ::testing::TestWithParam<YearCase> {};

// Types into a date box as a user does: everything selected, the text, then Enter.
void typeDate(QDateEdit *box, const QString &text) {
    QLineEdit *edit = box->findChild<QLineEdit *>();
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(4, edit->height() / 2));
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

} // namespace

TEST_P(YearAtStart, TheStatisticsOpenOnTheClocksYear) {
    const YearCase c = GetParam();
    StatsRig rig(ledgerOf({"260105|0004,500"}), QDateTime(QDate(c.clockYear, 1, 5), QTime(12, 0)));
    rig.form->QWidget::show();
    QTest::mouseClick(rig.form->findChild<QWidget *>(QStringLiteral("statsButton")), Qt::LeftButton);
    ASSERT_FALSE(rig.panel().isHidden());
    EXPECT_EQ(rig.yearBox()->text(), QLatin1String(c.shown));
    if (c.clockYear == 2026) {
        EXPECT_EQ(column(rig, 1).at(0), QStringLiteral("4,5 Δρχ"));
    }
    QTest::mouseClick(rig.yearStepper(), Qt::LeftButton, {}, QPoint(rig.yearStepper()->width() / 2, 2));
    EXPECT_EQ(rig.yearBox()->text(), QLatin1String(c.stepped));
}

INSTANTIATE_TEST_SUITE_P(Clocks, YearAtStart,
                         ::testing::Values(YearCase{"ThisYear", 2026, "2026", "2027"},
                                           YearCase{"BeforeTheRange", 1999, "2000", "2001"},
                                           YearCase{"AfterTheRange", 2100, "2099", "2099"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Calculator, ATypedDateKeepsItsFourDigitYearAndOneThatDoesNotReadIsRefused) {
    StatsRig rig(ledgerOf({"030315|0009,000", "240215|0020,000", "240216|0001,000"}));
    rig.form->QWidget::show();
    StatsPanel &f = rig.panel();
    f.setCalcDates(QDate(2003, 3, 15));
    f.toggle();
    QTest::mouseClick(rig.calcToggle(), Qt::LeftButton);
    EXPECT_EQ(rig.fromPicker()->text(), QStringLiteral("15/3/2003"));

    typeDate(rig.fromPicker(), QStringLiteral("15/2/2024"));
    EXPECT_EQ(rig.fromPicker()->date(), QDate(2024, 2, 15));
    EXPECT_EQ(rig.fromPicker()->text(), QStringLiteral("15/2/2024"));
    EXPECT_EQ(rig.toPicker()->date(), QDate(2024, 2, 15));
    EXPECT_EQ(rig.rangeTotal()->text(), QStringLiteral("20,00 Δρχ"));
    typeDate(rig.toPicker(), QStringLiteral("16/2/2024"));
    EXPECT_EQ(rig.rangeTotal()->text(), QStringLiteral("21,00 Δρχ"));

    // A day that February lacks is neither moved to another day nor taken silently.
    for (const QString &typed : {QStringLiteral("31/2/2024"), QStringLiteral("15//2024")}) {
        typeDate(rig.toPicker(), typed);
        EXPECT_EQ(rig.toPicker()->date(), QDate(2024, 2, 16)) << typed.toStdString();
        EXPECT_EQ(rig.toPicker()->text(), QStringLiteral("16/2/2024"));
        EXPECT_EQ(rig.rangeTotal()->text(), QStringLiteral("Μη έγκυρη ημερομηνία: ") + typed);
    }

    // A press on the frame around the text leaves the date as it is; the arrow opens the calendar.
    QDateEdit *box = rig.toPicker();
    const QRect text = box->findChild<QLineEdit *>()->geometry();
    for (const QPoint at : {QPoint(1, box->height() / 2), QPoint(text.center().x(), 1),
                            QPoint(text.center().x(), box->height() - 2), QPoint(text.right() + 1, 1),
                            QPoint(text.right() + 1, box->height() - 2)}) {
        QTest::mouseClick(box, Qt::LeftButton, {}, at);
        EXPECT_EQ(box->date(), QDate(2024, 2, 16)) << at.x() << "," << at.y();
    }
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 4, box->height() / 2));
    ASSERT_NE(box->calendarWidget(), nullptr);
    EXPECT_TRUE(box->calendarWidget()->isVisible());
}
