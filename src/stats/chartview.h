#pragma once

#include <QChartView>
#include <QPixmap>
#include <functional>

namespace tarv {

// The chart area of the chart window: a chart drawn over a picture, framed by a lowered outer
// and a raised inner bevel, that reports mouse presses, moves and releases in screen
// coordinates so that the window can be dragged by it. Zooming with the mouse is off.
class ChartView final : public QChartView {
    Q_OBJECT
public:
    explicit ChartView(QChart *chart, QWidget *parent = nullptr);

    void setBackgroundPicture(const QPixmap &picture);

    std::function<void(const QPoint &globalPos)> onMouseDown;
    std::function<void(const QPoint &globalPos)> onMouseMove;
    std::function<void(const QPoint &globalPos)> onMouseUp;
    // A double click, at a point of the viewport. Its first press has already begun a drag.
    std::function<void(const QPoint &viewportPos)> onDoubleClick;

    // Width of the frame drawn around the chart.
    static constexpr int frameWidth = 5;

protected:
    void drawBackground(QPainter *painter, const QRectF &rect) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
};

} // namespace tarv
