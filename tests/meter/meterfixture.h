#pragma once

#include "meter/meter.h"
#include "platform/fakes/fakes.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace tarv::test {

// Records what the meter shows and asks of the windows.
class RecordingView final : public MeterView {
public:
    void setClockText(const QString &t) override { clock = t; }
    void setStatusText(const QString &t) override { status = t; }
    void setZoneText(const QString &t) override { zone = t; }
    void setTimeText(const QString &t) override { time = t; }
    void setCostText(const QString &t) override { cost = t; }
    void setCostTodayText(const QString &t) override { today = t; }
    void setConnectionLinesVisible(bool v) override { linesVisible = v; calls << QStringLiteral("lines"); }
    void setLampColor(const Rgb &c) override { lamp = c; calls << QStringLiteral("lamp"); }
    void setIconImage(int i) override { icon = i; calls << QStringLiteral("icon%1").arg(i); }
    void setTrayTip(const QString &t) override { tip = t; }
    void bannerOffline() override { calls << QStringLiteral("offline"); }
    void bannerOnline() override { calls << QStringLiteral("online"); }
    void stopTimer() override { timerRunning = false; calls << QStringLiteral("stop"); }
    void startTimer() override { timerRunning = true; calls << QStringLiteral("start"); }
    void ledgerWritten() override { ++writes; }

    QString clock, status, zone, time, cost, today, tip;
    bool linesVisible = false;
    Rgb lamp;
    int icon = 0;
    bool timerRunning = true;
    int writes = 0;
    QStringList calls;
};

// A meter over a temporary folder, a fake clock and a fake dial-up service.
struct MeterRig {
    explicit MeterRig(const QDateTime &start = QDateTime(QDate(2001, 3, 15), QTime(12, 0))) {
        clock = std::make_shared<FakeClock>(start);
        dialup = std::make_shared<FakeDialupService>();
        autostart = std::make_shared<MemoryAutostartStore>();
        Platform p = fakePlatform(dir.path(), clock, dialup, autostart);
        meter = std::make_unique<Meter>(p, view);
    }
    // Creation: the state's defaults and the ledger read (or created).
    void create() {
        meter->initState();
        meter->readData(meter->s.currentDay);
    }
    // Moves the clock by ms and runs one tick.
    void tickAfter(qint64 ms) {
        clock->advance(ms);
        meter->Timer1Timer();
    }
    QString ledgerPath() const { return dir.filePath(QStringLiteral("data.dat")); }

    QTemporaryDir dir;
    std::shared_ptr<FakeClock> clock;
    std::shared_ptr<FakeDialupService> dialup;
    std::shared_ptr<MemoryAutostartStore> autostart;
    RecordingView view;
    std::unique_ptr<Meter> meter;
};

} // namespace tarv::test
