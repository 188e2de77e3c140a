#include "stats/chartview.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarv {

namespace {

// A one-pixel bevel around r: light on the top and left edges and dark on the others for a
// raised one, the other way round for a lowered one.
void drawBevel(QPainter *p, const QRectF &r, bool raised) {
    const QColor light(255, 255, 255);
    const QColor dark(128, 128, 128);
    const QRectF e = r.adjusted(0.5, 0.5, -0.5, -0.5);
    p->setPen(raised ? light : dark);
    p->drawLine(e.topLeft(), e.topRight());
    p->drawLine(e.topLeft(), e.bottomLeft());
    p->setPen(raised ? dark : light);
    p->drawLine(e.bottomLeft(), e.bottomRight());
    p->drawLine(e.topRight(), e.bottomRight());
}

} // namespace

ChartView::ChartView(QChart *chart, QWidget *parent) : QChartView(chart, parent) {
    setFrameShape(QFrame::NoFrame);
    setRubberBand(QChartView::NoRubberBand);
    setRenderHint(QPainter::Antialiasing, false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void ChartView::setBackgroundPicture(const QPixmap &picture) {
    m_picture = picture;
    resetCachedContent();
    viewport()->update();
}

void ChartView::drawBackground(QPainter *painter, const QRectF &rect) {
    const QRectF scene = sceneRect();
    if (m_picture.isNull()) {
        QChartView::drawBackground(painter, rect);
        return;
    }
    painter->drawPixmap(scene, m_picture, QRectF(m_picture.rect()));
}

void ChartView::drawForeground(QPainter *painter, const QRectF &rect) {
    QChartView::drawForeground(painter, rect);
    // The frame: a lowered outer bevel, a three-pixel border and a raised inner bevel.
    const QRectF outer = sceneRect();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    drawBevel(painter, outer, false);
    const QRectF border = outer.adjusted(1, 1, -1, -1);
    const QColor face(212, 208, 200);
    painter->setPen(Qt::NoPen);
    painter->setBrush(face);
    painter->drawRect(QRectF(border.left(), border.top(), border.width(), 3));
    painter->drawRect(QRectF(border.left(), border.bottom() - 3, border.width(), 3));
    painter->drawRect(QRectF(border.left(), border.top(), 3, border.height()));
    painter->drawRect(QRectF(border.right() - 3, border.top(), 3, border.height()));
    drawBevel(painter, border.adjusted(3, 3, -3, -3), true);
    painter->restore();
}

void ChartView::mousePressEvent(QMouseEvent *event) {
    if (onMouseDown) onMouseDown(event->globalPosition().toPoint());
    event->accept();
}

void ChartView::mouseMoveEvent(QMouseEvent *event) {
    if (onMouseMove) onMouseMove(event->globalPosition().toPoint());
    // The scene still sees the pointer, so that its bars know when it rests on them.
    if (!event->buttons()) QChartView::mouseMoveEvent(event);
    event->accept();
}

void ChartView::mouseReleaseEvent(QMouseEvent *event) {
    if (onMouseUp) onMouseUp(event->globalPosition().toPoint());
    event->accept();
}

void ChartView::mouseDoubleClickEvent(QMouseEvent *event) {
    // The second press of a double click holds the button down as any press does: the drag
    // goes on until its release.
    if (onMouseDown) onMouseDown(event->globalPosition().toPoint());
    if (event->button() == Qt::LeftButton && onDoubleClick) onDoubleClick(event->position().toPoint());
    event->accept();
}

} // namespace tarv
