#pragma once

#include "meter/meter.h"
#include "meter/meterview.h"
#include "platform/platform.h"

#include <QIcon>
#include <QList>
#include <QTimer>
#include <QWidget>

class QLabel;
class QMenu;
class QAction;

namespace tarv {

class ShapeCircle;
class Bevel;
class TTrayIcon;
class TfrmOptions;
class TfrmGraph;

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

    // The other two windows, set at start-up once they exist (null until then).
    TfrmOptions *frmOptions = nullptr;
    TfrmGraph *frmGraph = nullptr;

    // Hooks the statistics panel and the banner fill in.
    std::function<void()> onLedgerWritten;
    std::function<void()> onBannerOnline;
    std::function<void()> onBannerOffline;

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

private:
    void createControls();

    Meter m_meter;
};

} // namespace tarv
