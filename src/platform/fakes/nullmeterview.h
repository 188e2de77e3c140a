#pragma once

#include "meter/meterview.h"

namespace tarv {

// A meter view that shows nothing: for programs that drive the meter without windows.
class NullMeterView final : public MeterView {
public:
    void setClockText(const QString &) override {}
    void setStatusText(const QString &) override {}
    void setZoneText(const QString &) override {}
    void setTimeText(const QString &) override {}
    void setCostText(const QString &) override {}
    void setCostTodayText(const QString &) override {}
    void setConnectionLinesVisible(bool) override {}
    void setLampColor(const Rgb &) override {}
    void setIconImage(int) override {}
    void setTrayTip(const QString &) override {}
    void bannerOffline() override {}
    void bannerOnline() override {}
    void stopTimer() override {}
    void startTimer() override {}
    void ledgerWritten() override {}
};

} // namespace tarv
