#include "shell/tform1.h"

#include "framework/application.h"
#include "framework/clickarea.h"
#include "framework/picture.h"
#include "framework/shapecircle.h"
#include "framework/textformat.h"
#include "shell/bannerdriver.h"
#include "shell/trayicon.h"
#include "shell/vendormenuloader.h"
#include "options/tfrmoptions.h"
#include "stats/statspanel.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QStandardPaths>
#include <QWindow>
#include <utility>

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

QLabel *makeLabel(QWidget *parent, const QString &text, const QRect &geometry, const QColor &color,
                  int pixelSize) {
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
    font.setFamilies(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    setFont(font);
    cursorPos = [] { return QCursor::pos(); };
    popupMenuAt = [](QMenu *menu, const QPoint &at) { menu->exec(at); };
    startSystemMove = [this] {
        if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return false;
        return windowHandle() && windowHandle()->startSystemMove();
    };
    createControls();
    // The statistics panel is built when it is first opened (see statsPanel()).
}

TForm1::~TForm1() {
    // The chart window and the options dialog use the meter: they go first.
    m_chart.reset();
    m_options.reset();
}

void TForm1::createControls() {
    // From back to front: later controls lie over earlier ones and take the mouse where they lie.
    m_frame = new PictureBox(this);
    m_frame->setGeometry(-3, -3, 297, 311);
    m_frame->setPictureFile(QStringLiteral(":/pictures/frame.jpg"));
    m_frame->onMouseDown = [this] { frameMouseDown(); };
    m_frame->onMouseMove = [this] { frameMouseMove(); };
    m_frame->onMouseUp = [this] { frameMouseUp(); };
    m_statusLabel = makeLabel(this, QStringLiteral("Σύνδεση: Ανενεργή"), {16, 18, 249, 20}, Qt::white, 12);
    m_exitButton = makeClickArea(this, {245, 256, 25, 25}, QStringLiteral("Έξοδος"));
    m_optionsButton = makeClickArea(this, {104, 256, 36, 30}, QStringLiteral("Επιλογές"));
    m_statsButton = makeClickArea(this, {141, 256, 36, 30}, QStringLiteral("Στατιστικά"));
    m_zoneLabel = makeLabel(this, QStringLiteral("Ζώνη:"), {16, 33, 249, 20}, Qt::white, 12);
    m_timeLabel = makeLabel(this, QStringLiteral("Χρόνος:"), {130, 33, 138, 20}, Qt::white, 12);
    m_costLabel = makeLabel(this, QStringLiteral("Κόστος:"), {16, 48, 114, 20}, Qt::white, 12);
    m_clockLabel = makeLabel(this, QStringLiteral("12:00"), {33, 239, 233, 16}, QColor(192, 192, 192), 12);
    m_clockLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    m_clockBevel = new Bevel(this);
    m_clockBevel->setGeometry(11, 238, 261, 16);
    m_lamp = new ShapeCircle(this);
    m_lamp->setGeometry(15, 240, 12, 12);
    m_vendorLabel = makeClickArea(this, {14, 256, 60, 17}, makerUrl());
    m_hideButton = makeClickArea(this, {261, 1, 10, 12}, kHide);
    m_todayLabel = makeLabel(this, QStringLiteral("Σήμερα:"), {16, 48, 142, 20}, QColor(112, 112, 32), 12);
    m_vendorStrip = new QLabel(this);
    m_vendorStrip->setGeometry(3, 3, 15, 250);
    m_vendorStrip->setPixmap(readPicture(QStringLiteral(":/pictures/strip.png")));
    m_vendorStrip->hide();
    m_zoneLabel->hide();
    m_timeLabel->hide();
    m_costLabel->hide();
    createButtons();

    m_phoneIcons = {QIcon(readPicture(QStringLiteral(":/pictures/phone_idle.png"))),
                    QIcon(readPicture(QStringLiteral(":/pictures/phone_connected.png")))};

    m_tickTimer = new QTimer(this);
    m_tickTimer->setInterval(1000);
    // A precise timer never fires early, so every tick lands just after a whole second of the
    // connection; a coarse one may fire a few milliseconds early and see a second twice.
    m_tickTimer->setTimerType(Qt::PreciseTimer);
    connect(m_tickTimer, &QTimer::timeout, this, &TForm1::timerTick);

    m_trayMenu = new QMenu(this);
    m_showItem = m_trayMenu->addAction(kShow);
    m_limitsItem = m_trayMenu->addAction(QStringLiteral("Όριο δαπάνης..."));
    m_callsItem = m_trayMenu->addAction(QStringLiteral("Κλήσεις..."));
    m_separatorItem = m_trayMenu->addSeparator();
    m_exitItem = m_trayMenu->addAction(QStringLiteral("Έξοδος"));
    connect(m_trayMenu, &QMenu::aboutToShow, this, &TForm1::trayMenuPopup);
    connect(m_showItem, &QAction::triggered, this, &TForm1::showItemClick);
    connect(m_exitItem, &QAction::triggered, this, &TForm1::exitItemClick);
    connect(m_limitsItem, &QAction::triggered, this, &TForm1::limitsRequested);
    connect(m_callsItem, &QAction::triggered, this, &TForm1::callsRequested);
    m_vendorMenu = new QMenu(this);

    m_trayIcon = new TTrayIcon(this);
    m_trayIcon->OnDblClick = [this](QObject *) { trayIconDoubleClick(); };

    // The names by which the window's parts are found from outside (the tests among them).
    const std::pair<QObject *, const char *> names[] = {
        {m_frame, "frame"},
        {m_statusLabel, "statusLabel"},
        {m_zoneLabel, "zoneLabel"},
        {m_timeLabel, "timeLabel"},
        {m_costLabel, "costLabel"},
        {m_todayLabel, "todayLabel"},
        {m_clockLabel, "clockLabel"},
        {m_clockBevel, "clockBevel"},
        {m_lamp, "lamp"},
        {m_exitButton, "exitButton"},
        {m_optionsButton, "optionsButton"},
        {m_statsButton, "statsButton"},
        {m_vendorLabel, "vendorLabel"},
        {m_hideButton, "hideButton"},
        {m_vendorStrip, "vendorStrip"},
        {m_tickTimer, "tickTimer"},
        {m_trayMenu, "trayMenu"},
        {m_showItem, "showItem"},
        {m_limitsItem, "limitsItem"},
        {m_callsItem, "callsItem"},
        {m_separatorItem, "separatorItem"},
        {m_exitItem, "exitItem"},
        {m_vendorMenu, "vendorMenu"},
    };
    for (const auto &[object, name] : names)
        object->setObjectName(QLatin1String(name));
}

void TForm1::createButtons() {
    m_exitButton->onClick = [this] { exitButtonClick(); };
    m_optionsButton->onClick = [this] { optionsButtonClick(); };
    m_statsButton->onClick = [this] { statsButtonClick(); };
    m_vendorLabel->onClick = [this] { vendorLabelClick(); };
    m_vendorLabel->onMouseMove = [this] { vendorLabelMouseMove(); };
    m_hideButton->onClick = [this] { hideButtonClick(); };
}

void TForm1::FormCreate() {
    m_firstActivation = true;
    // An error in the ledger steps is shown, and the program still gets its icon and its timer,
    // so that it never runs without a visible presence or without metering.
    runGuarded([this] {
        m_clockLabel->setText(fmt::longTime(m_meter.platform().clock->now().time()));
        m_meter.initState();
        m_meter.readData(m_meter.s.currentDay);
    });
    m_meter.s.statusSuffix.clear();
    // The calculator's range starts as today, both ends.
    m_calcDay = m_meter.platform().clock->now().date();
    if (m_statsPanel) m_statsPanel->setCalcDates(m_calcDay);
    // The banner starts off line, and the vendor menu is built from the file left on disk.
    runGuarded([this] {
        createVendorParts();
        m_bannerDriver->start();
        m_vendorLoader->load();
    });
    runGuarded([this] {
        m_trayIcon->setIcon(QApplication::windowIcon());
        m_trayIcon->setIcon(m_phoneIcons.value(0));
        m_trayIcon->setPopupMenu(m_trayMenu);
        m_trayIcon->ShowIcon();
    });
    m_tickTimer->start();
}

void TForm1::createVendorParts() {
    if (m_bannerDriver) return;
    const Platform &platform = m_meter.platform();
    m_vendorLoader = new VendorMenuLoader(
        m_vendorMenu, m_vendorStrip->pixmap(), platform.dataFolder, makerUrl(), platform.shell,
        [this] { return m_meter.s.online; }, this);
    connect(m_vendorLoader, &VendorMenuLoader::exitRequested, this, &TForm1::exitRequested);
    connect(m_vendorLoader, &VendorMenuLoader::hideRequested, this, &TForm1::hideButtonClick);

    if (m_bannerCacheFolder.isEmpty())
        m_bannerCacheFolder =
            QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/banner");
    static constexpr char kBannerPath[] = "/services/tarv/index.asp?tarv=10";
    m_bannerDriver = new BannerDriver(this, m_bannerCacheFolder, makerServiceAddress(makerUrl(), kBannerPath),
                                      platform.shell);
    m_bannerDriver->parked = [this] { return m_statsPanel && !m_statsPanel->isHidden(); };
    // Every completed page of the maker's site refreshes the vendor menu.
    connect(m_bannerDriver, &BannerDriver::pageLoaded, m_vendorLoader, &VendorMenuLoader::load);
}

void TForm1::bannerOffline() {
    if (m_bannerDriver) m_bannerDriver->goOffline();
}

void TForm1::bannerOnline() {
    if (m_bannerDriver) m_bannerDriver->goOnline();
}

bool TForm1::showBalloon(const QString &title, const QString &text) {
    return m_trayIcon && m_trayIcon->showBalloon(title, text);
}

void TForm1::timerTick() {
    m_tickErrors.run([this] { m_meter.Timer1Timer(); });
}

void TForm1::setClockText(const QString &text) {
    m_clockLabel->setText(text);
}
void TForm1::setStatusText(const QString &text) {
    m_statusLabel->setText(text);
}
void TForm1::setZoneText(const QString &text) {
    m_zoneLabel->setText(text);
}
void TForm1::setTimeText(const QString &text) {
    m_timeLabel->setText(text);
}
void TForm1::setCostText(const QString &text) {
    m_costLabel->setText(text);
}
void TForm1::setCostTodayText(const QString &text) {
    m_todayLabel->setText(text);
}

void TForm1::setConnectionLinesVisible(bool visible) {
    m_timeLabel->setVisible(visible);
    m_zoneLabel->setVisible(visible);
    m_costLabel->setVisible(visible);
    m_todayLabel->move(visible ? 129 : 16, m_todayLabel->y());
}

void TForm1::setLampColor(const Rgb &color) {
    m_lamp->setBrushColor(QColor(color.r, color.g, color.b));
}

void TForm1::setIconImage(int index) {
    const QIcon icon = m_phoneIcons.value(index);
    QApplication::setWindowIcon(icon);
    m_trayIcon->setIcon(icon);
}

void TForm1::setTrayTip(const QString &tip) {
    m_trayIcon->setTip(tip);
}

void TForm1::stopTimer() {
    m_tickTimer->stop();
}
void TForm1::startTimer() {
    m_tickTimer->start();
}

void TForm1::ledgerWritten() {
    if (m_statsPanel)
        m_statsPanel->showYearTotals();
    else
        m_yearTotalsDue = true;
}

StatsPanel *TForm1::statsPanel() {
    if (!m_statsPanel) createStatsPanel();
    return m_statsPanel;
}

void TForm1::createStatsPanel() {
    m_statsPanel = new StatsPanel(
        m_meter.platform().dataFolder, [this] { return m_meter.s.currencyLabel; },
        m_meter.platform().clock->now().date().year(), this);
    m_statsPanel->setGeometry(12, 350, 259, 226);
    // Where it would lie had it been made with the other controls: above them, beneath the banner.
    if (QWidget *banner = statsBanner()) m_statsPanel->stackUnder(banner);
    connect(m_statsPanel, &StatsPanel::opening, this, &TForm1::parkBanner);
    connect(m_statsPanel, &StatsPanel::closed, this, &TForm1::restoreBanner);
    connect(m_statsPanel, &StatsPanel::monthChosen, this, &TForm1::showMonthChart);
    connect(m_statsPanel, &StatsPanel::limitsRequested, this, &TForm1::limitsRequested);
    if (m_calcDay.isValid()) m_statsPanel->setCalcDates(m_calcDay);
    // The grid opens with the totals of its year, which also covers every write of the day's
    // total made before the panel existed.
    m_yearTotalsDue = false;
    runGuarded([this] { m_statsPanel->showYearTotals(); });
}

QWidget *TForm1::statsBanner() const {
    return findChild<QWidget *>(QStringLiteral("banner"));
}

void TForm1::parkBanner() {
    // The banner is parked below the window's visible area while the panel is open.
    if (QWidget *banner = statsBanner()) banner->move(banner->x(), 450);
}

void TForm1::restoreBanner() {
    QWidget *banner = statsBanner();
    if (banner && !banner->isHidden()) banner->move(banner->x(), 69);
}

void TForm1::setChartFactory(ChartWindowFactory factory) {
    m_chart.setFactory([this, factory = std::move(factory)] {
        std::unique_ptr<ChartWindow> chart = factory(&m_meter, this);
        if (chart) chart->setDayRequest([this](const QDate &day) { emit dayCallsRequested(day); });
        return chart;
    });
}

void TForm1::setOptionsFactory(OptionsWindowFactory factory) {
    m_options.setFactory([this, factory = std::move(factory)] { return factory(m_meter, this); });
}

void TForm1::tariffStored() {
    // While on line the next tick writes the cost lines again anyway; off line nothing would.
    setCostTodayText(m_meter.todayLine(m_meter.s.dayTotal()));
    if (m_statsPanel) runGuarded([this] { m_statsPanel->currencyChanged(); });
}

void TForm1::showMonthChart(int year, int month) {
    // A module that cannot be loaded is shown as an error; the main window carries on.
    if (ChartWindow *chart = m_chart.make()) chart->showMonth(year, month);
}

} // namespace tarv
