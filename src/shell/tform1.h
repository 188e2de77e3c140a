#pragma once

#include "framework/application.h"
#include "meter/meter.h"
#include "meter/meterview.h"
#include "platform/platform.h"

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
class QPainter;
class QRect;

namespace tarv {

class ShapeCircle;
class Bevel;
class ClickArea;
class PictureBox;
class TTrayIcon;
class THttpClient;
class BannerView;
class TfrmOptions;
class TfrmGraph;
class StatsPanel;

// The main window: the meter's display, the status lamp, the tray icon and its menu.
class TForm1 final : public QWidget, public MeterView {
    Q_OBJECT
public:
    explicit TForm1(Platform platform, QWidget *parent = nullptr);
    ~TForm1() override;

    // The creation steps: state defaults, the ledger, the tray icon and the timer. An error in
    // a step is shown and the steps that give the program its icon and its timer still run.
    void FormCreate();

    // The meter's state and operations.
    Meter &meter() { return m_meter; }
    MeterState &state() { return m_meter.s; }
    void readData(const QDate &day) { m_meter.readData(day); }
    void saveData() { m_meter.saveData(); }

public slots:
    void Timer1Timer();

signals:
    // The user asked to end the program (the exit button, the tray menu's exit item or the
    // vendor menu's "exit"); whoever put the program together asks the exit question.
    void exitRequested();

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
    void Image1MouseDown();
    void Image1MouseMove();
    void Image1MouseUp();

    // Shows or hides the window; the tray menu's first caption decides which, and follows.
    void toggleMainWindow();
    void showClick();
    void TrayIcon1DblClick();
    // Before the tray menu opens: its first caption from the window's visibility.
    void PopupMenu1Popup();
    void buttonMinClick();
    void buttonOptionsClick();
    void buttonExitClick();
    void exitClick();
    // The vendor label: a movement opens the vendor menu above it; a click with an empty menu
    // opens the maker's site.
    void buttonpelmoMouseMove();
    void buttonpelmoClick();

public:
    // Controls, named as the rest of the program knows them.
    QLabel *labelStatus = nullptr;
    QLabel *labelZone = nullptr;
    QLabel *labelTime = nullptr;
    QLabel *labelCost = nullptr;
    QLabel *labelCostToday = nullptr;
    QLabel *boxTime = nullptr;
    Bevel *Bevel1 = nullptr;
    ShapeCircle *ledaki = nullptr;
    QList<QIcon> ImageList1;
    QTimer *Timer1 = nullptr;
    TTrayIcon *TrayIcon1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *show = nullptr;
    QAction *N1 = nullptr;
    QAction *mnexit = nullptr;
    PictureBox *Image1 = nullptr;
    ClickArea *buttonExit = nullptr;
    ClickArea *buttonOptions = nullptr;
    ClickArea *buttonStats = nullptr;
    ClickArea *buttonpelmo = nullptr;
    ClickArea *buttonMin = nullptr;
    // The vendor menu's left strip (hidden) and the vendor menu, filled by its loader.
    QLabel *Image2 = nullptr;
    QMenu *PopupMenu2 = nullptr;

    // Dragging and the outline.
    bool dragging = false;
    qint32 dragCursorX = 0, dragCursorY = 0;
    qint32 dragStartLeft = 0, dragStartTop = 0;
    bool firstActivation = false;

    // The platform's cursor position and popping a menu up at a screen point (it returns when
    // the menu closes); tests replace them.
    std::function<QPoint()> cursorPos;
    std::function<void(QMenu *, const QPoint &)> popupMenuAt;
    // Hands a drag to the compositor where only it places windows (Wayland); false where the
    // program drags the window itself.
    std::function<bool()> startSystemMove;

    // The other two windows, set at start-up once they exist (null until then).
    TfrmOptions *frmOptions = nullptr;
    TfrmGraph *frmGraph = nullptr;

    // The vendor menu and the banner (tform1_vendor.cpp).
    THttpClient *HttpClient1 = nullptr;
    BannerView *WebBrowser1 = nullptr;
    // Where the banner keeps its saved pages: the user's cache unless set before FormCreate.
    QString bannerCacheFolder;
    // Downloads popup.txt while on line and rebuilds the vendor menu from the file on disk.
    void loadVendorMenu();
    void TPOPMNDrawItem(QAction *sender, QPainter *canvas, const QRect &rect, bool selected);
    void TPOPMNClick(QAction *sender);
    void runMenuCommand(const QString &command);
    void startBanner();
    void WebBrowser1DocumentComplete(QObject *sender, const QString &address);
    QString bannerAddress() const;
    QString vendorMenuPath() const;

    // The statistics panel, a child placed over the display while open.
    StatsPanel *statsPanel = nullptr;
    // The statistics button's click.
    std::function<void()> onButtonStats;

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
    void createStatsPanel();
    // The banner view that the open statistics panel parks out of sight (null while none).
    QWidget *statsBanner() const;
    void parkBanner();
    void restoreBanner();
    void showMonthChart(int year, int month);
    void createButtons();
    void setShowCaption(bool windowShown);
    // The maker's home page: the vendor label's hint and the page its click opens.
    QString makerUrl() const;

    bool m_positioned = false;

    // The vendor menu and the banner (tform1_vendor.cpp).
    void createVendorControls();
    QString makerAddress(const char *path) const;
    void downloadVendorMenu(const QString &path);
    void requestVendorRebuild();
    void runPendingVendorRebuild();
    void rebuildVendorMenu();
    bool m_vendorDownloading = false;
    bool m_vendorRebuildPending = false;
    int m_vendorClickDepth = 0;

    Meter m_meter;
    // The tick's errors: one that repeats every second is shown once.
    ErrorLatch m_tickErrors;
    // The banner's switch to on line waits for the end of the connecting tick; a switch back to
    // off line before then cancels it.
    bool m_bannerOnlinePending = false;
};

} // namespace tarv
