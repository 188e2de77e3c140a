#pragma once

#include "framework/errors.h"
#include "stats/chartwindow.h"

#include <QMessageBox>
#include <QWidget>
#include <functional>
#include <memory>

class QBarCategoryAxis;
class QBarSeries;
class QChart;
class QFileDialog;
class QGraphicsPolygonItem;
class QGraphicsSimpleTextItem;
class QLabel;
class QPrinter;
class QPushButton;
class QValueAxis;

namespace tarv {

class Bevel;
class ChartView;
class ClickLabel;
class Meter;

// Printing could not start: no default printer, or the printer refused the job.
class EPrinterError final : public Exception {
public:
    using Exception::Exception;
};

// The daily chart window: the cost of each day of one month as 31 bars, read from the ledger.
// Borderless and always on top; dragged by its chart; grouped with the main window side by side
// or centred on its own; the chart can be copied, saved as a bitmap file and printed.
class TfrmGraph final : public ChartWindow {
    Q_OBJECT
public:
    // The chart reads the meter's ledger in its currency; mainWindow is the window it groups with
    // and centres (either may be null).
    TfrmGraph(const Meter *meter, QWidget *mainWindow, QWidget *parent = nullptr);
    ~TfrmGraph() override;

    // The month and year to chart; the statistics panel sets them before showing the window.
    int chartMonth = 1;
    int chartYear = 1;
    // A mouse button is held down on the chart, and where the drag began.
    bool dragging = false;
    int dragCursorX = 0;
    int dragCursorY = 0;
    int dragStartLeft = 0;
    int dragStartTop = 0;
    // The chart window follows the main window when the user drags it, and the other way round.
    bool windowsGrouped = false;

    // Shows the window (centred the first time) in front, and builds the chart of chartMonth.
    void showChart();
    void showMonth(int year, int month) override {
        chartYear = year;
        chartMonth = month;
        showChart();
    }
    bool followsMain() const override { return windowsGrouped; }

    // Handlers.
    void FormActivate();
    void FormDeactivate() {}
    void Chart1MouseDown(const QPoint &cursor);
    void Chart1MouseMove(const QPoint &cursor);
    void Chart1MouseUp(const QPoint &cursor);
    void buttonTileClick();
    void buttonCloseClick();
    void buttonClipClick();
    void buttonSaveBitmapClick();
    void buttonPrintClick();

    // The chart drawn into an image of the chart's size on a white background.
    QImage chartBitmap() const;

    // The chart's title text: the standalone month name and the four-digit year ("Μάρτιος 2003").
    static QString chartTitle(int year, int month);

    // The placement of grouping: the main window's left and this window's left, for a screen
    // width and the two windows' widths. Halves are rounded to the even neighbour.
    static std::pair<int, int> groupedLefts(int screenWidth, int mainWidth, int graphWidth);
    // The left (or top) that centres a length within the screen's length.
    static int centred(int screenLength, int length);

    // The two questions of saving, as the program asks them.
    static std::unique_ptr<QMessageBox> makeConfirmBox(QWidget *parent);
    static std::unique_ptr<QMessageBox> makeSavedBox(QWidget *parent);

    // Where saving, printing and grouping reach outside the window. Tests replace them.
    // The chosen file name, or an empty text when the user cancels the dialog. The name's
    // extension chooses the file's kind: ".png" and ".pdf" give those, any other a bitmap.
    std::function<QString()> askSaveFileName;
    // The answer to the overwrite question: Yes, No or Cancel.
    std::function<QMessageBox::StandardButton()> askOverwrite;
    // Reports a finished save.
    std::function<void()> reportSaved;
    // The printer the user chose in the print dialog, or null when the user cancelled it.
    std::function<std::unique_ptr<QPrinter>()> printerSource;
    // The screen's size in pixels.
    std::function<QSize()> screenSize;

    // Controls. The chart and its view are built when first needed (see ensureChart()).
    QChart *chart() const { return ensureChart(), m_chart; }
    QBarSeries *series() const;
    QBarCategoryAxis *axisX() const { return ensureChart(), m_axisX; }
    QValueAxis *axisY() const { return ensureChart(), m_axisY; }
    // The day numbers under the bars ("1" to "31") and their colour.
    QList<QGraphicsSimpleTextItem *> dayLabels() const { return ensureChart(), m_dayLabels; }
    QColor dayLabelsColor() const { return m_dayLabelsColor; }
    void setDayLabelsColor(const QColor &color);
    ChartView *Chart1 = nullptr;
    ClickLabel *buttonTile = nullptr;
    Bevel *Bevel1 = nullptr;
    QPushButton *buttonClip = nullptr;
    QPushButton *buttonSaveBitmap = nullptr;
    QPushButton *buttonPrint = nullptr;
    QPushButton *buttonClose = nullptr;
    // Says for a few seconds, beside the buttons, that the chart was copied.
    QLabel *copyNote = nullptr;
    // Made when saving first asks for a file name.
    QFileDialog *SavePictureDialog1 = nullptr;
    QFileDialog *saveDialog();

    // Writes the chart into a file of the kind its extension names (see askSaveFileName).
    void saveChartFile(const QString &fileName) const;
    // The day whose bar stands at a point of the chart's viewport; invalid outside the plot or
    // past the month's last day.
    QDate dayAt(const QPoint &viewportPos) const;
    // The text shown while the pointer rests on a day's bar: "15 Μαρτίου 2003: 12,5 Δρχ".
    QString barTip(int index) const;
    // Where saved pictures and printed files go first: the user's pictures folder.
    static QString picturesFolder();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    // The chart, its scene and its view cost more than the rest of the window together and
    // most runs never open the window: they are made the first time anything needs them.
    void ensureChart() const;
    void createChart();
    void focusWindowChanged(QWindow *window);
    void printChart(QPrinter &printer);
    std::unique_ptr<QPrinter> askPrinter();
    void barHovered(bool status, int index);
    // Places the left wall and the day numbers along a new plot area.
    void plotAreaChanged(const QRectF &plot);
    // Moves the main window so that its left edge lies at left and its top at top.
    void moveMain(int left, int top);
    void centreMain();

    const Meter *m_meter = nullptr;
    QWidget *m_main = nullptr;
    QChart *m_chart = nullptr;
    QBarCategoryAxis *m_axisX = nullptr;
    QValueAxis *m_axisY = nullptr;
    QGraphicsPolygonItem *m_leftWall = nullptr;
    // Where the pointer was last seen over the chart, in screen coordinates.
    QPoint m_pointer;
    QList<QGraphicsSimpleTextItem *> m_dayLabels;
    QColor m_dayLabelsColor;
    bool m_shownBefore = false;
    // The window has just been built by showChart(): the activation that follows the showing
    // does not build it again.
    bool m_builtForShowing = false;
    // The window that had the focus before the current one (null: another program or none).
    QWindow *m_lastFocus = nullptr;
};

} // namespace tarv
