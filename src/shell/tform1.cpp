#include "shell/tform1.h"

#include "framework/application.h"
#include "framework/clickarea.h"
#include "framework/shapecircle.h"
#include "framework/textformat.h"
#include "shell/trayicon.h"
#include "stats/statspanel.h"
#include "stats/tfrmgraph.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QWindow>

namespace tarv {

namespace {

const QString kShow = QStringLiteral("Εμφάνιση");
const QString kHide = QStringLiteral("Απόκρυψη");

ClickArea *makeClickArea(QWidget *parent, const QRect &geometry, const QString &hint) {
    auto *area = new ClickArea(parent);
    area->setGeometry(geometry);
    area->setToolTip(hint);
    return area;
}

QLabel *makeLabel(QWidget *parent, const QString &text, const QRect &geometry, const QColor &color, int pixelSize) {
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAutoFillBackground(false);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

TForm1::TForm1(Platform platform, QWidget *parent) : QWidget(parent), m_meter(std::move(platform), *this) {
    setWindowTitle(QStringLiteral("Χρέωση Internet by Pelmo"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(284, 308);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    // The layout is in fixed pixels: the font is given in pixels, not scaled with the system's.
    QFont font = this->font();
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    setFont(font);
    cursorPos = [] { return QCursor::pos(); };
    popupMenuAt = [](QMenu *menu, const QPoint &at) { menu->exec(at); };
    startSystemMove = [this] {
        if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return false;
        return windowHandle() && windowHandle()->startSystemMove();
    };
    createControls();
    createStatsPanel();
}

TForm1::~TForm1() = default;

void TForm1::createControls() {
    // From back to front: later controls lie over earlier ones and take the mouse where they lie.
    Image1 = new PictureBox(this);
    Image1->setGeometry(-3, -3, 297, 311);
    Image1->setPicture(QPixmap(QStringLiteral(":/pictures/frame.jpg")));
    Image1->onMouseDown = [this] { Image1MouseDown(); };
    Image1->onMouseMove = [this] { Image1MouseMove(); };
    Image1->onMouseUp = [this] { Image1MouseUp(); };
    labelStatus = makeLabel(this, QStringLiteral("Σύνδεση: Ανενεργή"), {16, 18, 249, 20}, Qt::white, 12);
    buttonExit = makeClickArea(this, {245, 256, 25, 25}, QStringLiteral("Έξοδος"));
    buttonOptions = makeClickArea(this, {104, 256, 36, 30}, QStringLiteral("Επιλογές"));
    buttonStats = makeClickArea(this, {141, 256, 36, 30}, QStringLiteral("Στατιστικά"));
    labelZone = makeLabel(this, QStringLiteral("Ζώνη:"), {16, 33, 249, 20}, Qt::white, 12);
    labelTime = makeLabel(this, QStringLiteral("Χρόνος:"), {130, 33, 138, 20}, Qt::white, 12);
    labelCost = makeLabel(this, QStringLiteral("Κόστος:"), {16, 48, 114, 20}, Qt::white, 12);
    boxTime = makeLabel(this, QStringLiteral("12:00"), {33, 239, 233, 16}, QColor(192, 192, 192), 12);
    boxTime->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Bevel1 = new Bevel(this);
    Bevel1->setGeometry(11, 238, 261, 16);
    ledaki = new ShapeCircle(this);
    ledaki->setGeometry(15, 240, 12, 12);
    buttonpelmo = makeClickArea(this, {14, 256, 60, 17}, makerUrl());
    buttonMin = makeClickArea(this, {261, 1, 10, 12}, kHide);
    labelCostToday = makeLabel(this, QStringLiteral("Σήμερα:"), {16, 48, 142, 20}, QColor(112, 112, 32), 12);
    Image2 = new QLabel(this);
    Image2->setGeometry(3, 3, 15, 250);
    Image2->setPixmap(QPixmap(QStringLiteral(":/pictures/strip.png")));
    Image2->hide();
    labelZone->hide();
    labelTime->hide();
    labelCost->hide();
    createButtons();

    ImageList1 = {QIcon(QStringLiteral(":/pictures/phone_idle.png")),
                  QIcon(QStringLiteral(":/pictures/phone_connected.png"))};

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    // A precise timer never fires early, so every tick lands just after a whole second of the
    // connection; a coarse one may fire a few milliseconds early and see a second twice.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    PopupMenu1 = new QMenu(this);
    show = PopupMenu1->addAction(kShow);
    N1 = PopupMenu1->addSeparator();
    mnexit = PopupMenu1->addAction(QStringLiteral("Έξοδος"));
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TForm1::PopupMenu1Popup);
    connect(show, &QAction::triggered, this, &TForm1::showClick);
    connect(mnexit, &QAction::triggered, this, &TForm1::exitClick);
    PopupMenu2 = new QMenu(this);

    TrayIcon1 = new TTrayIcon(this);
    TrayIcon1->OnDblClick = [this](QObject *) { TrayIcon1DblClick(); };
}

void TForm1::createButtons() {
    buttonExit->onClick = [this] { buttonExitClick(); };
    buttonOptions->onClick = [this] { buttonOptionsClick(); };
    buttonStats->onClick = [this] {
        if (onButtonStats) onButtonStats();
    };
    buttonpelmo->onClick = [this] { buttonpelmoClick(); };
    buttonpelmo->onMouseMove = [this] { buttonpelmoMouseMove(); };
    buttonMin->onClick = [this] { buttonMinClick(); };
}

void TForm1::FormCreate() {
    firstActivation = true;
    // An error in the ledger steps is shown, and the program still gets its icon and its timer,
    // so that it never runs without a visible presence or without metering.
    runGuarded([this] {
        boxTime->setText(fmt::longTime(m_meter.platform().clock->now().time()));
        m_meter.initState();
        m_meter.readData(m_meter.s.currentDay);
    });
    m_meter.s.statusSuffix.clear();
    // The calculator's range starts as today, both ends.
    statsPanel->setCalcDates(m_meter.platform().clock->now().date());
    // The banner starts off line, and the vendor menu is built from the file left on disk.
    runGuarded([this] {
        startBanner();
        loadVendorMenu();
    });
    runGuarded([this] {
        TrayIcon1->setIcon(QApplication::windowIcon());
        TrayIcon1->setIcon(ImageList1.value(0));
        TrayIcon1->setPopupMenu(PopupMenu1);
        TrayIcon1->ShowIcon();
    });
    Timer1->start();
}

void TForm1::Timer1Timer() {
    m_tickErrors.run([this] { m_meter.Timer1Timer(); });
}

void TForm1::setClockText(const QString &text) { boxTime->setText(text); }
void TForm1::setStatusText(const QString &text) { labelStatus->setText(text); }
void TForm1::setZoneText(const QString &text) { labelZone->setText(text); }
void TForm1::setTimeText(const QString &text) { labelTime->setText(text); }
void TForm1::setCostText(const QString &text) { labelCost->setText(text); }
void TForm1::setCostTodayText(const QString &text) { labelCostToday->setText(text); }

void TForm1::setConnectionLinesVisible(bool visible) {
    labelTime->setVisible(visible);
    labelZone->setVisible(visible);
    labelCost->setVisible(visible);
    labelCostToday->move(visible ? 129 : 16, labelCostToday->y());
}

void TForm1::setLampColor(const Rgb &color) { ledaki->setBrushColor(QColor(color.r, color.g, color.b)); }

void TForm1::setIconImage(int index) {
    const QIcon icon = ImageList1.value(index);
    QApplication::setWindowIcon(icon);
    TrayIcon1->setIcon(icon);
}

void TForm1::setTrayTip(const QString &tip) { TrayIcon1->setTip(tip); }

void TForm1::stopTimer() { Timer1->stop(); }
void TForm1::startTimer() { Timer1->start(); }

void TForm1::ledgerWritten() {
    statsPanel->showYearTotals();
}

void TForm1::createStatsPanel() {
    statsPanel = new StatsPanel(m_meter.platform().dataFolder, [this] { return m_meter.s.currencyLabel; }, this);
    statsPanel->setGeometry(12, 350, 259, 226);
    connect(statsPanel, &StatsPanel::opening, this, &TForm1::parkBanner);
    connect(statsPanel, &StatsPanel::closed, this, &TForm1::restoreBanner);
    connect(statsPanel, &StatsPanel::monthChosen, this, &TForm1::showMonthChart);
    onButtonStats = [this] { statsPanel->toggle(); };
}

QWidget *TForm1::statsBanner() const {
    return findChild<QWidget *>(QStringLiteral("WebBrowser1"));
}

void TForm1::parkBanner() {
    // The banner is parked below the window's visible area while the panel is open.
    if (QWidget *banner = statsBanner()) banner->move(banner->x(), 450);
}

void TForm1::restoreBanner() {
    QWidget *banner = statsBanner();
    if (banner && !banner->isHidden()) banner->move(banner->x(), 69);
}

void TForm1::showMonthChart(int year, int month) {
    if (!frmGraph) return;
    frmGraph->chartMonth = month;
    frmGraph->chartYear = year;
    frmGraph->showChart();
}

} // namespace tarv
