#pragma once

#include "calls/callsloader.h"

#include <QDate>
#include <QPixmap>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tarv {
class UpDown;
}

namespace tarv::calls {

class CallsFilter;
class CallsModel;

// The window "Κλήσεις": the connections of one month from calls.csv, newest first, sortable by
// every column, with the month's totals below; or those of one day, with a way back to the whole
// month. The shown rows can be saved as csv. It looks like the limits dialog: frameless and
// rounded on the options' background, and it is dragged by that background. The log is read on a
// worker thread, once each time the window is opened or the month changes.
class CallsWindow final : public QWidget {
    Q_OBJECT
public:
    // dataFolder holds calls.csv; currency names the amounts of a month without connections.
    CallsWindow(QString dataFolder, std::function<QString()> currency, QWidget *mainWindow,
                QWidget *parent = nullptr);
    ~CallsWindow() override;

    // Shows the window in front with the whole of a month.
    void showMonth(int year, int month);
    // Shows the window in front with the connections that started on day.
    void showDay(const QDate &day);
    // Back from one day to the whole month.
    void showWholeMonth();

    int year() const { return m_year; }
    int month() const { return m_month; }
    QDate day() const;
    bool isLoading() const { return m_loader->isLoading(); }
    QString totalsText() const;
    QString noteText() const;

    // Writes the rows on view as csv into fileName, whole or not at all; false with the reason
    // in Greek in the note line.
    bool saveShown(const QString &fileName);
    // The file name the user chose, or an empty text when the dialog was cancelled. Tests
    // replace it.
    std::function<QString()> askSaveFileName;

signals:
    // The rows of a read are on view.
    void rowsShown();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void createControls();
    void createTable();
    void load(int year, int month);
    void loaded(const MonthCalls &calls);
    void monthStepped();
    void showFilter();
    void updateTotals();
    void setNote(const QString &text, bool error);
    void saveClick();
    void bringForward();

    QString m_dataFolder;
    std::function<QString()> m_currency;
    QWidget *m_main = nullptr;
    QPixmap m_background;
    CallsLoader *m_loader = nullptr;
    CallsModel *m_model = nullptr;
    CallsFilter *m_filter = nullptr;
    int m_year = 0;
    int m_month = 0;
    // What the last read said: lines passed over, or why there was nothing to read.
    QString m_readNote;
    bool m_readFailed = false;

    QLineEdit *m_monthBox = nullptr;
    UpDown *m_monthStepper = nullptr;
    QLabel *m_dayLabel = nullptr;
    QPushButton *m_wholeMonth = nullptr;
    QTableView *m_table = nullptr;
    QLabel *m_totals = nullptr;
    QLabel *m_note = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_close = nullptr;

    // A drag by the background, where the window system does not move the window itself.
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace tarv::calls
