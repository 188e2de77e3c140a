#pragma once

#include "framework/application.h"
#include "framework/ondemand.h"
#include "meter/meter.h"
#include "meter/meterview.h"
#include "platform/platform.h"
#include "stats/chartwindow.h"

#include <QIcon>
#include <QList>
#include <QPoint>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;
class QMenu;
class QAction;

namespace tarv {

class ShapeCircle;
class Bevel;
class ClickArea;
class PictureBox;
class TTrayIcon;
class BannerDriver;
class VendorMenuLoader;
class TfrmOptions;
class ChartWindow;
class StatsPanel;

// The main window: the meter's display, the status lamp, the clock, the buttons, the tray icon
// and its menu. It holds the statistics panel, the vendor menu and the banner as its children.
// Its controls are found by their object names ("statusLabel", "lamp", "tickTimer", "trayMenu",
// "showItem", "limitsItem", "callsItem", "separatorItem", "exitItem", "frame", "exitButton",
// "vendorMenu", ...).
class TForm1 final : public QWidget, public MeterView {
    Q_OBJECT
public:
    explicit TForm1(Platform platform, QWidget *parent = nullptr);
    ~TForm1() override;

    // The creation steps: state defaults, the ledger, the tray icon and the timer. An error in
    // a step is shown and the steps that give the program its icon and its timer still run.
    void FormCreate();

    // The options dialog and the chart window, once they exist: the window hides them with
    // itself, opens the one and drags the other along when they are grouped.
    void setOtherWindows(TfrmOptions *options, ChartWindow *chart);
    // Makes the chart window the first time a chart is asked for, when setOtherWindows gave none.
    // The window made is the main window's and lives as long as it does.
    void setChartFactory(ChartWindowFactory factory);
    ChartWindow *chartWindow() const { return m_chart.get(); }
    // Makes the options dialog the first time it is opened, when setOtherWindows gave none; the
    // dialog made lives as long as the main window. A program that sits in the tray seldom opens
    // it, and building it measures text, which loads the fonts.
    using OptionsWindowFactory = std::function<std::unique_ptr<TfrmOptions>(Meter &meter, QWidget *mainWindow)>;
    void setOptionsFactory(OptionsWindowFactory factory);
    TfrmOptions *optionsWindow() const { return m_options.get(); }
    // The statistics panel, built the first time it is asked for (by its button or from here).
    StatsPanel *statsPanel();
    // The options dialog stored a tariff: today's line and the statistics' totals are written
    // again, so that none shows the old currency until the next charge.
    void tariffStored();
    // Shows the chart of a month, as choosing it in the statistics panel does.
    void showMonthChart(int year, int month);
    // Where the banner keeps its saved pages: the user's cache unless set before FormCreate.
    void setBannerCacheFolder(const QString &folder) { m_bannerCacheFolder = folder; }

    // The meter's state and operations.
    Meter &meter() { return m_meter; }
    MeterState &state() { return m_meter.s; }
    void readData(const QDate &day) { m_meter.readData(day); }
    void saveData() { m_meter.saveData(); }

    // Shows a passing notification from the tray icon; false where the tray cannot.
    bool showBalloon(const QString &title, const QString &text);

    // The tray icon's two telephones: idle and connected.
    QIcon phoneIcon(int index) const { return m_phoneIcons.value(index); }
    // A drag by the frame picture is under way.
    bool isDragging() const { return m_dragging; }
    // The next activation is the first, which gives the window its outline.
    bool awaitsFirstActivation() const { return m_firstActivation; }

public slots:
    void timerTick();

signals:
    // The user asked to end the program (the exit button, the tray menu's exit item or the
    // vendor menu's "exit"); whoever put the program together asks the exit question.
    void exitRequested();
    // The user asked for the spending limits (the tray menu's item or the statistics panel).
    void limitsRequested();
    // The user asked for the list of connections (the tray menu's item), or for those of one
    // day (a double click on the day's bar in the chart).
    void callsRequested();
    void dayCallsRequested(const QDate &day);

public:
    // The window's outline for a width: a rounded top, tall rounded lower corners and a notched
    // bottom edge; rows 303 and below lie outside.
    static QRegion outlineRegion(int width);
    // Gives the window its outline.
    void shapeForm();
    // The first activation applies the outline; later ones change nothing.
    void FormActivate();
    // Runs whenever the window becomes hidden: the options and chart windows hide with it.
    void FormHide();

    // Dragging the window by its frame picture, with any button.
    void frameMouseDown();
    void frameMouseMove();
    void frameMouseUp();

    // Shows or hides the window; the tray menu's first caption decides which, and follows.
    void toggleMainWindow();
    // Brings the window to the front, shown the way the tray menu shows it.
    void bringToFront();
    void showItemClick();
    void trayIconDoubleClick();
    // Before the tray menu opens: its first caption from the window's visibility.
    void trayMenuPopup();
    void hideButtonClick();
    void optionsButtonClick();
    void statsButtonClick();
    void exitButtonClick();
    void exitItemClick();
    // The vendor label: a movement opens the vendor menu above it; a click with an empty menu
    // opens the maker's site.
    void vendorLabelMouseMove();
    void vendorLabelClick();

    // The platform's cursor position and popping a menu up at a screen point (it returns when
    // the menu closes); tests replace them.
    std::function<QPoint()> cursorPos;
    std::function<void(QMenu *, const QPoint &)> popupMenuAt;
    // Hands a drag to the compositor where only it places windows (Wayland); false where the
    // program drags the window itself.
    std::function<bool()> startSystemMove;

    // MeterView
    void setClockText(const QString &text) override;
    void setStatusText(const QString &text) override;
    void setZoneText(const QString &text) override;
    void setTimeText(const QString &text) override;
    void setCostText(const QString &text) override;
    void setCostTodayText(const QString &text) override;
    void setConnectionLinesVisible(bool visible) override;
    void setLampColor(const Rgb &color) override;
    void setIconImage(int index) override;
    void setTrayTip(const QString &tip) override;
    void bannerOffline() override;
    void bannerOnline() override;
    void stopTimer() override;
    void startTimer() override;
    void ledgerWritten() override;

protected:
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void createButtons();
    void createStatsPanel();
    // The banner view that the open statistics panel parks out of sight (null while none).
    QWidget *statsBanner() const;
    void parkBanner();
    void restoreBanner();
    void setShowCaption(bool windowShown);
    // The maker's home page: the vendor label's hint and the page its click opens.
    QString makerUrl() const;

    // The display.
    QLabel *m_statusLabel = nullptr;
    QLabel *m_zoneLabel = nullptr;
    QLabel *m_timeLabel = nullptr;
    QLabel *m_costLabel = nullptr;
    QLabel *m_todayLabel = nullptr;
    QLabel *m_clockLabel = nullptr;
    Bevel *m_clockBevel = nullptr;
    ShapeCircle *m_lamp = nullptr;
    PictureBox *m_frame = nullptr;
    ClickArea *m_exitButton = nullptr;
    ClickArea *m_optionsButton = nullptr;
    ClickArea *m_statsButton = nullptr;
    ClickArea *m_vendorLabel = nullptr;
    ClickArea *m_hideButton = nullptr;
    StatsPanel *m_statsPanel = nullptr;
    // The day the calculator's range starts at, and whether the ledger was written before the
    // panel existed, so that the panel shows the totals it would have followed.
    QDate m_calcDay;
    bool m_yearTotalsDue = false;

    // The tick and the tray.
    QList<QIcon> m_phoneIcons;
    QTimer *m_tickTimer = nullptr;
    TTrayIcon *m_trayIcon = nullptr;
    QMenu *m_trayMenu = nullptr;
    QAction *m_showItem = nullptr;
    QAction *m_limitsItem = nullptr;
    QAction *m_callsItem = nullptr;
    QAction *m_separatorItem = nullptr;
    QAction *m_exitItem = nullptr;

    // The other two windows (null until set).
    OnDemand<TfrmOptions> m_options;
    OnDemand<ChartWindow> m_chart;

    // Dragging and the outline.
    bool m_dragging = false;
    QPoint m_dragCursor;
    QPoint m_dragStart;
    bool m_firstActivation = false;
    bool m_positioned = false;

    // The vendor menu's left strip (hidden) and the menu, which its loader fills; the banner and
    // its driver. Both are made by the creation steps.
    QLabel *m_vendorStrip = nullptr;
    QMenu *m_vendorMenu = nullptr;
    VendorMenuLoader *m_vendorLoader = nullptr;
    BannerDriver *m_bannerDriver = nullptr;
    QString m_bannerCacheFolder;
    void createVendorParts();

    Meter m_meter;
    // The tick's errors: one that repeats every second is shown once.
    ErrorLatch m_tickErrors;
};

} // namespace tarv
