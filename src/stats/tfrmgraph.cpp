#include "stats/tfrmgraph.h"

#include "framework/shapecircle.h"
#include "framework/textformat.h"
#include "meter/meter.h"
#include "stats/chartview.h"
#include "stats/clicklabel.h"
#include "stats/ledgerstats.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QDialog>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QGraphicsPolygonItem>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QToolTip>
#include <QCursor>
#include <QValueAxis>
#include <QWindow>
#include <algorithm>
#include <cmath>

// The chart's picture lives in a resource file linked into a static library: it has to be
// registered by name before the first use.
static void initStatsResources() {
    Q_INIT_RESOURCE(stats);
}

namespace tarv {

namespace {

const QColor kTitleColour(Qt::white);
const QColor kAxisTitleColour(Qt::yellow);
const QColor kLabelColour(Qt::white);
const QColor kLeftWall(232, 216, 23);
const QColor kBarColour(230, 60, 40);

QFont arial(int pixelSize, bool bold = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

// The red cross of an abort button.
QIcon abortGlyph() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 0, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
    return QIcon(pm);
}

QPushButton *makeButton(QWidget *parent, const QString &text, const QRect &geometry) {
    auto *b = new QPushButton(text, parent);
    b->setGeometry(geometry);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

// Halves rounded to the nearest whole pixel, a half going to the even neighbour.
int roundHalfEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}

} // namespace

TfrmGraph::TfrmGraph(const Meter *meter, QWidget *mainWindow, QWidget *parent)
    : ChartWindow(parent), m_meter(meter), m_main(mainWindow) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(QStringLiteral("Χρέωση Internet by Pelmo"));
    setFixedSize(529, 347);
    initStatsResources();

    askSaveFileName = [this]() -> QString {
        if (saveDialog()->exec() != QDialog::Accepted) return {};
        return SavePictureDialog1->selectedFiles().value(0);
    };
    askOverwrite = [this] {
        const auto box = makeConfirmBox(this);
        return static_cast<QMessageBox::StandardButton>(box->exec());
    };
    reportSaved = [this] { makeSavedBox(this)->exec(); };
    printerSource = [this] { return askPrinter(); };
    screenSize = [] {
        const QScreen *screen = QGuiApplication::primaryScreen();
        return screen ? screen->geometry().size() : QSize(1024, 768);
    };

    FormCreate();
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TfrmGraph::focusWindowChanged);
}

TfrmGraph::~TfrmGraph() = default;

void TfrmGraph::FormCreate() {
    Bevel1 = new Bevel(this);
    Bevel1->setGeometry(0, 315, 529, 31);
    buttonClip = makeButton(this, QStringLiteral("Copy to Clipboard"), {5, 320, 119, 22});
    buttonSaveBitmap = makeButton(this, QStringLiteral("Save to File"), {129, 320, 118, 22});
    buttonPrint = makeButton(this, QStringLiteral("Εκτύπωση"), {252, 320, 118, 22});
    buttonClose = makeButton(this, QStringLiteral("Close"), {435, 320, 91, 23});
    buttonClose->setIcon(abortGlyph());
    connect(buttonClip, &QPushButton::clicked, this, &TfrmGraph::buttonClipClick);
    connect(buttonSaveBitmap, &QPushButton::clicked, this, &TfrmGraph::buttonSaveBitmapClick);
    connect(buttonPrint, &QPushButton::clicked, this, &TfrmGraph::buttonPrintClick);
    connect(buttonClose, &QPushButton::clicked, this, &TfrmGraph::buttonCloseClick);

    copyNote = new QLabel(this);
    copyNote->setObjectName(QStringLiteral("copyNote"));
    copyNote->setGeometry(373, 320, 60, 22);
    copyNote->setAlignment(Qt::AlignCenter);
    copyNote->setToolTip(QStringLiteral("Το γράφημα αντιγράφηκε στο πρόχειρο"));
    copyNote->hide();
}

QFileDialog *TfrmGraph::saveDialog() {
    if (SavePictureDialog1) return SavePictureDialog1;
    SavePictureDialog1 = new QFileDialog(this);
    SavePictureDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SavePictureDialog1->setFileMode(QFileDialog::AnyFile);
    SavePictureDialog1->setWindowTitle(QStringLiteral("Αποθήκευση γραφήματος"));
    SavePictureDialog1->setDirectory(picturesFolder());
    // A bitmap unless the user picks another kind; a name typed without an extension takes
    // the chosen kind's.
    const QStringList filters{QStringLiteral("Bitmaps (*.bmp)"), QStringLiteral("Εικόνα PNG (*.png)"),
                              QStringLiteral("Έγγραφο PDF (*.pdf)")};
    SavePictureDialog1->setNameFilters(filters);
    SavePictureDialog1->selectNameFilter(filters.first());
    SavePictureDialog1->setDefaultSuffix(QStringLiteral("bmp"));
    connect(SavePictureDialog1, &QFileDialog::filterSelected, SavePictureDialog1, [dialog = SavePictureDialog1](const QString &filter) {
        const qsizetype dot = filter.lastIndexOf(QLatin1String("*."));
        if (dot >= 0) dialog->setDefaultSuffix(filter.mid(dot + 2).chopped(1));
    });
    // The program asks its own overwrite question.
    SavePictureDialog1->setOption(QFileDialog::DontConfirmOverwrite);
    return SavePictureDialog1;
}

void TfrmGraph::ensureChart() const {
    if (!m_chart) const_cast<TfrmGraph *>(this)->createChart();
}

void TfrmGraph::createChart() {
    m_chart = new QChart;
    m_chart->setBackgroundVisible(false);
    m_chart->setBackgroundRoundness(0);
    m_chart->setDropShadowEnabled(false);
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->legend()->hide();
    m_chart->setLocalizeNumbers(true);
    m_chart->setLocale(QLocale());
    // The back wall: white and unfilled, so that the picture shows through.
    m_chart->setPlotAreaBackgroundVisible(true);
    m_chart->setPlotAreaBackgroundBrush(Qt::NoBrush);
    m_chart->setPlotAreaBackgroundPen(QPen(Qt::white));
    // Top and bottom margins of 3 pixels inside the frame; narrow sides leave the 31 day
    // labels room enough to stay whole.
    m_chart->setMargins(QMargins(2, 3, 6, 3));
    m_chart->layout()->setContentsMargins(ChartView::frameWidth, ChartView::frameWidth, ChartView::frameWidth,
                                          ChartView::frameWidth);
    m_chart->setTitleFont(arial(13, true));
    m_chart->setTitleBrush(kTitleColour);

    // The axis lays out 31 categories, but in 529 pixels it would elide every two-digit day
    // number to "...": its own labels only hold their room (drawn clear), and the day numbers
    // are drawn whole under the bars by the window.
    m_axisX = new QBarCategoryAxis;
    m_axisX->setLabelsFont(arial(11));
    m_axisX->setLabelsColor(Qt::transparent);
    m_axisX->setTitleText(QStringLiteral("Ημέρα"));
    m_axisX->setTitleFont(arial(11));
    m_axisX->setTitleBrush(kAxisTitleColour);
    m_axisX->setGridLineVisible(false);
    QStringList days;
    for (int d = 1; d <= 31; ++d)
        days << QString::number(d);
    m_axisX->append(days);
    m_chart->addAxis(m_axisX, Qt::AlignBottom);

    m_axisY = new QValueAxis;
    m_axisY->setLabelsFont(arial(11));
    m_axisY->setLabelsColor(kLabelColour);
    m_axisY->setTitleFont(arial(11));
    m_axisY->setTitleBrush(kAxisTitleColour);
    m_axisY->setLabelFormat(QStringLiteral("%.10g"));
    m_axisY->setMinorTickCount(1);
    m_axisY->setGridLinePen(QPen(QColor(255, 255, 255, 90)));
    m_axisY->setMinorGridLineVisible(false);
    m_axisY->setRange(0, 1);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);

    // The left wall: the chart's side wall, seen slanting away along the left axis. A band as
    // tall as the plot would read as a bar before day 1.
    m_leftWall = new QGraphicsPolygonItem(m_chart);
    m_leftWall->setPen(QPen(kLeftWall, 1));
    QColor wallFace = kLeftWall;
    wallFace.setAlpha(80);
    m_leftWall->setBrush(wallFace);
    m_leftWall->setZValue(-1);
    for (int d = 1; d <= 31; ++d) {
        auto *label = new QGraphicsSimpleTextItem(QString::number(d), m_chart);
        label->setFont(arial(11));
        m_dayLabels << label;
    }
    setDayLabelsColor(kLabelColour);
    connect(m_chart, &QChart::plotAreaChanged, this, &TfrmGraph::plotAreaChanged);

    Chart1 = new ChartView(m_chart, this);
    Chart1->setGeometry(0, 0, 529, 316);
    // Made after the buttons, but below them as if made first.
    Chart1->lower();
    Chart1->setBackgroundPicture(QPixmap(QStringLiteral(":/stats/chart_background.jpg")));
    Chart1->onMouseDown = [this](const QPoint &p) { Chart1MouseDown(p); };
    Chart1->onMouseMove = [this](const QPoint &p) { Chart1MouseMove(p); };
    // A pointer resting on a bar is told its day and amount.
    Chart1->viewport()->setMouseTracking(true);
    Chart1->onMouseUp = [this](const QPoint &p) { Chart1MouseUp(p); };
    // A double click on a day's bar asks for that day's connections.
    Chart1->onDoubleClick = [this](const QPoint &p) {
        if (const QDate day = dayAt(p); day.isValid()) requestDay(day);
    };

    buttonTile = new ClickLabel(QStringLiteral("group"), Chart1);
    buttonTile->setGeometry(9, 9, 55, 16);
    buttonTile->setAlignment(Qt::AlignCenter);
    buttonTile->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    buttonTile->setLineWidth(1);
    buttonTile->setAutoFillBackground(true);
    QPalette tilePalette = buttonTile->palette();
    tilePalette.setColor(QPalette::Window, Qt::black);
    tilePalette.setColor(QPalette::WindowText, Qt::white);
    buttonTile->setPalette(tilePalette);
    buttonTile->setCursor(Qt::PointingHandCursor);
    buttonTile->onClick = [this] { buttonTileClick(); };
}

void TfrmGraph::plotAreaChanged(const QRectF &plot) {
    // The wall's far edge is the axis; its near edge lies a few pixels to the left and lower,
    // as the chart's tilt shows it.
    // Its face is see-through and only its edges are solid, so that it reads as a plane.
    const QPointF depth(-7, 5);
    m_leftWall->setPolygon(QPolygonF({plot.topLeft(), plot.bottomLeft(), plot.bottomLeft() + depth,
                                      plot.topLeft() + depth}));
    // Each number centred under its bar, below the axis' tick marks.
    const double slot = plot.width() / m_dayLabels.size();
    for (int i = 0; i < m_dayLabels.size(); ++i) {
        QGraphicsSimpleTextItem *label = m_dayLabels.at(i);
        const QRectF box = label->boundingRect();
        label->setPos(plot.left() + (i + 0.5) * slot - box.width() / 2, plot.bottom() + 6);
    }
}

void TfrmGraph::setDayLabelsColor(const QColor &color) {
    m_dayLabelsColor = color;
    for (QGraphicsSimpleTextItem *label : m_dayLabels)
        label->setBrush(color);
}

QBarSeries *TfrmGraph::series() const {
    ensureChart();
    const auto all = m_chart->series();
    return all.isEmpty() ? nullptr : qobject_cast<QBarSeries *>(all.first());
}

QString TfrmGraph::chartTitle(int year, int month) {
    return QLocale().standaloneMonthName(month, QLocale::LongFormat) + QLatin1Char(' ') +
           QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
}

void TfrmGraph::showChart() {
    ensureChart();
    m_builtForShowing = true;
    if (!isVisible()) show();
    raise();
    activateWindow();
    FormActivate();
}

void TfrmGraph::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_shownBefore) return;
    // Centred on the desktop the first time; afterwards it keeps the place it was moved to.
    m_shownBefore = true;
    const QSize screen = screenSize();
    move(centred(screen.width(), width()), centred(screen.height(), height()));
}

namespace {

// The program's message boxes and dialogs (an error box, the save dialog) only pass over the
// chart: the focus they take and give back is no visit to another window.
bool isPassingWindow(QWindow *window) {
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        if (widget->windowHandle() != window) continue;
        return widget->isModal() || qobject_cast<QDialog *>(widget) || widget->windowType() == Qt::Popup ||
               widget->windowType() == Qt::ToolTip;
    }
    return false;
}

} // namespace

void TfrmGraph::focusWindowChanged(QWindow *window) {
    if (window && window != windowHandle() && isPassingWindow(window)) return;
    if (window && window == windowHandle()) {
        // The chart is rebuilt whenever the window becomes the program's active window, unless
        // it has just been built for its showing or the user merely returns from another program.
        const bool fromOwnWindow = m_lastFocus != nullptr && m_lastFocus != window;
        const bool justBuilt = m_builtForShowing;
        m_builtForShowing = false;
        m_lastFocus = window;
        // Focus changes arrive straight from the window system, outside the application's
        // error handler: the build runs as a posted call, so that a ledger error is shown.
        if (fromOwnWindow && !justBuilt)
            QMetaObject::invokeMethod(this, &TfrmGraph::FormActivate, Qt::QueuedConnection);
        return;
    }
    m_builtForShowing = false;
    m_lastFocus = window;
}

void TfrmGraph::FormActivate() {
    ensureChart();
    m_chart->setTitle(chartTitle(chartYear, chartMonth));
    m_axisY->setTitleText(m_meter ? m_meter->s.currencyLabel : QString());

    // A ledger that cannot be read leaves the chart without a series.
    const QString folder = m_meter ? m_meter->platform().dataFolder : QString();
    std::array<double, 31> values{};
    try {
        values = stats::dayValues(stats::readLedgerFile(folder), chartYear, chartMonth);
    } catch (...) {
        m_chart->removeAllSeries();
        throw;
    }

    QList<qreal> heights(values.begin(), values.end());
    const double top = *std::max_element(values.begin(), values.end());
    // The series of an earlier month takes the new values: making the bars anew costs as much
    // as reading the whole ledger.
    QBarSeries *bars = series();
    if (bars && bars->count() == 1) {
        QBarSet *set = bars->barSets().first();
        set->remove(0, set->count());
        set->append(heights);
    } else {
        m_chart->removeAllSeries();
        auto *set = new QBarSet(QString());
        set->setColor(kBarColour);
        set->setBorderColor(kBarColour.darker(130));
        set->append(heights);
        bars = new QBarSeries;
        bars->setLabelsVisible(false);
        bars->setBarWidth(0.7);
        bars->append(set);
        connect(bars, &QBarSeries::hovered, this, [this](bool status, int index) { barHovered(status, index); });
        m_chart->addSeries(bars);
        bars->attachAxis(m_axisX);
        bars->attachAxis(m_axisY);
    }
    m_axisY->setRange(0, top > 0 ? top : 1);
    if (top > 0) m_axisY->applyNiceNumbers();
}

void TfrmGraph::Chart1MouseDown(const QPoint &cursor) {
    dragCursorX = cursor.x();
    dragCursorY = cursor.y();
    dragStartLeft = x();
    dragStartTop = y();
    dragging = true;
}

void TfrmGraph::Chart1MouseMove(const QPoint &cursor) {
    m_pointer = cursor;
    if (!dragging) return;
    move(dragStartLeft + (cursor.x() - dragCursorX), dragStartTop + (cursor.y() - dragCursorY));
    update();
    if (windowsGrouped && m_main) moveMain(x() - m_main->width() + 10, y());
}

void TfrmGraph::Chart1MouseUp(const QPoint &) {
    dragging = false;
}

QDate TfrmGraph::dayAt(const QPoint &viewportPos) const {
    if (!m_chart || !Chart1) return {};
    const QRectF plot = m_chart->plotArea();
    const QPointF at = Chart1->mapToScene(viewportPos);
    if (!plot.contains(at) || m_dayLabels.isEmpty()) return {};
    // The days share the plot's width as their numbers below do.
    const int index = static_cast<int>((at.x() - plot.left()) / (plot.width() / m_dayLabels.size()));
    const QDate first(chartYear, chartMonth, 1);
    if (!first.isValid() || index < 0 || index >= first.daysInMonth()) return {};
    return first.addDays(index);
}

QString TfrmGraph::barTip(int index) const {
    const QBarSeries *bars = series();
    if (!bars || bars->count() != 1 || index < 0 || index >= bars->barSets().first()->count()) return {};
    const QDate day(chartYear, chartMonth, index + 1);
    const QString when = day.isValid() ? QLocale().toString(day, QStringLiteral("d MMMM yyyy"))
                                       : QStringLiteral("Ημέρα %1").arg(index + 1);
    const QString currency = m_meter ? m_meter->s.currencyLabel : QString();
    return when + QStringLiteral(": ") + fmt::general(bars->barSets().first()->at(index)) + QLatin1Char(' ') +
           currency;
}

void TfrmGraph::barHovered(bool status, int index) {
    if (!status || dragging) {
        QToolTip::hideText();
        return;
    }
    QToolTip::showText(m_pointer.isNull() ? QCursor::pos() : m_pointer, barTip(index), Chart1);
}

std::pair<int, int> TfrmGraph::groupedLefts(int screenWidth, int mainWidth, int graphWidth) {
    const double x = (screenWidth - mainWidth - graphWidth + 10) / 2.0;
    return {roundHalfEven(x), roundHalfEven(x + mainWidth - 10)};
}

int TfrmGraph::centred(int screenLength, int length) {
    return roundHalfEven((screenLength - length) / 2.0);
}

void TfrmGraph::moveMain(int left, int top) {
    if (!m_main) return;
    m_main->move(left, top);
    m_main->update();
}

void TfrmGraph::centreMain() {
    if (!m_main) return;
    const QSize screen = screenSize();
    moveMain(centred(screen.width(), m_main->width()), centred(screen.height(), m_main->height()));
}

void TfrmGraph::buttonTileClick() {
    ensureChart();
    const QSize screen = screenSize();
    if (buttonTile->text() == QLatin1String("group")) {
        buttonTile->setText(QStringLiteral("ungroup"));
        windowsGrouped = true;
        if (!m_main) return;
        const auto [mainLeft, graphLeft] = groupedLefts(screen.width(), m_main->width(), width());
        moveMain(mainLeft, m_main->y());
        move(graphLeft, m_main->y());
    } else {
        buttonTile->setText(QStringLiteral("group"));
        windowsGrouped = false;
        centreMain();
        move(centred(screen.width(), width()), centred(screen.height(), height()));
    }
}

void TfrmGraph::buttonCloseClick() {
    ensureChart();
    windowsGrouped = false;
    buttonTile->setText(QStringLiteral("group"));
    centreMain();
    hide();
}

} // namespace tarv
