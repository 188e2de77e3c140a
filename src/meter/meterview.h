#pragma once

#include <QString>

namespace tarv {

// A colour as red, green and blue, 0 to 255.
struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

// What the meter writes on the screen and asks of the windows around it. The main window
// implements it with its labels, lamp, tray icon, banner and timer; tests record the calls.
class MeterView {
public:
    virtual ~MeterView() = default;
    // The clock line (boxTime).
    virtual void setClockText(const QString &text) = 0;
    // The status line (labelStatus).
    virtual void setStatusText(const QString &text) = 0;
    // The zone, elapsed-time and cost lines (labelZone, labelTime, labelCost).
    virtual void setZoneText(const QString &text) = 0;
    virtual void setTimeText(const QString &text) = 0;
    virtual void setCostText(const QString &text) = 0;
    // Today's total line (labelCostToday).
    virtual void setCostTodayText(const QString &text) = 0;
    // Shows or hides the connection's three lines and moves today's line to left 129 or 16.
    virtual void setConnectionLinesVisible(bool visible) = 0;
    // The status lamp's colour (ledaki).
    virtual void setLampColor(const Rgb &color) = 0;
    // Image index of ImageList1 becomes the application's icon and the tray icon's icon.
    virtual void setIconImage(int index) = 0;
    // The tray icon's tip.
    virtual void setTrayTip(const QString &tip) = 0;
    // The banner goes off line / goes on line and navigates to its page.
    virtual void bannerOffline() = 0;
    virtual void bannerOnline() = 0;
    // Stops and starts the one-second timer.
    virtual void stopTimer() = 0;
    virtual void startTimer() = 0;
    // Called after every write of the day total (the statistics panel recomputes its year).
    virtual void ledgerWritten() = 0;
};

} // namespace tarv
