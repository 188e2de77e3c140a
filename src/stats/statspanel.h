#pragma once

#include <QFrame>
#include <QString>
#include <functional>

class QDate;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tarv {

class ClickLabel;
class DateBox;
class UpDown;

// The statistics panel that opens over the main window: the twelve monthly totals of a year with
// its stepper, and the date-range calculator that slides out beside them. It reads the ledger in
// the data folder it is given and writes totals in the currency its source names at the time.
// The main window places it as a child, hidden until the statistics button opens it.
class StatsPanel final : public QFrame {
    Q_OBJECT
public:
    // The year box starts at year, kept within the years the ledger's day keys can name.
    StatsPanel(QString dataFolder, std::function<QString()> currency, int year, QWidget *parent);
    ~StatsPanel() override;

    // Opens the panel when hidden, closes it when shown.
    void toggle();
    // Hides the panel (its "x").
    void closePanel();
    // The twelve monthly totals of the year in the year box; also run after every ledger write.
    void showYearTotals();
    // Sets both ends of the calculator's range without computing a total.
    void setCalcDates(const QDate &day);
    // The total of the calculator's range into its box.
    void showRangeTotal();
    // The grid's current month was clicked: tells monthChosen when there is one.
    void chooseMonth();
    // The currency has changed: the totals on view are written again in the new one.
    void currencyChanged();

signals:
    // The panel is about to open, or has just closed; the main window parks and restores its banner.
    void opening();
    void closed();
    // The user chose a month of the grid.
    void monthChosen(int year, int month);
    // The user asked for the spending limits.
    void limitsRequested();

private:
    void createGrid();
    void createYearStepper(int year);
    void createCalculator();
    void toggleCalculator();
    void fromDateChanged();
    void toDateChanged();
    // A typed date that could not be read was turned down: the total's box says so.
    void dateRefused(const QString &typed);

    QString m_dataFolder;
    std::function<QString()> m_currency;

    QTableWidget *m_monthGrid = nullptr;
    ClickLabel *m_closeLabel = nullptr;
    UpDown *m_yearStepper = nullptr;
    QLineEdit *m_yearBox = nullptr;
    QFrame *m_calcTab = nullptr;
    QPushButton *m_calcToggle = nullptr;
    QLabel *m_calcTitle = nullptr;
    QLabel *m_fromLabel = nullptr;
    QLabel *m_toLabel = nullptr;
    QLabel *m_costLabel = nullptr;
    DateBox *m_fromPicker = nullptr;
    DateBox *m_toPicker = nullptr;
    QLineEdit *m_rangeTotalBox = nullptr;
};

} // namespace tarv
