#pragma once

#include <QDate>
#include <QWidget>
#include <functional>
#include <memory>

namespace tarv {

class Meter;

// What the main window needs of the daily chart window. The chart window itself and the chart
// library it draws with are loaded only when the user first asks for a chart, so the main
// window knows it through this class alone.
class ChartWindow : public QWidget {
public:
    using QWidget::QWidget;
    // Shows the window in front with the chart of the given month.
    virtual void showMonth(int year, int month) = 0;
    // The window follows the main window when the user drags that one.
    virtual bool followsMain() const = 0;

    // Asked for the connections of a day (a double click on its bar).
    using DayRequest = std::function<void(const QDate &day)>;
    void setDayRequest(DayRequest request) { m_dayRequest = std::move(request); }

protected:
    void requestDay(const QDate &day) const {
        if (m_dayRequest) m_dayRequest(day);
    }

private:
    DayRequest m_dayRequest;
};

// Makes the chart window for the meter's ledger, grouped with mainWindow; null when it cannot.
using ChartWindowFactory = std::function<std::unique_ptr<ChartWindow>(const Meter *meter, QWidget *mainWindow)>;

} // namespace tarv
