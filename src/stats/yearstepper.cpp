#include "stats/yearstepper.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tarv {

YearStepper::YearStepper(QWidget *parent) : QWidget(parent) {
    setCursor(Qt::ArrowCursor);
}

void YearStepper::setRange(int minimum, int maximum) {
    m_min = minimum;
    m_max = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_min, m_max);
}

void YearStepper::setPosition(int position) {
    position = std::clamp(position, m_min, m_max);
    if (position == m_position) return;
    m_position = position;
    if (m_associate) m_associate->setText(QString::number(m_position));
    update();
}

void YearStepper::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const int h = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), h), QRect(0, h, width(), height() - h)};
    for (int i = 0; i < 2; ++i) {
        const QRect r = halves[i].adjusted(0, 0, -1, -1);
        const bool down = m_pressedHalf == (i == 0 ? 1 : -1);
        p.fillRect(r, palette().button());
        p.setPen(down ? QColor(128, 128, 128) : Qt::white);
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(down ? Qt::white : QColor(64, 64, 64));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        // The arrow: a small triangle pointing up or down, greyed at the end of the range.
        const bool enabled = i == 0 ? m_position < m_max : m_position > m_min;
        const QPointF c = QRectF(r).center();
        QPainterPath arrow;
        const double dy = i == 0 ? -1.5 : 1.5;
        arrow.moveTo(c.x() - 3, c.y() - dy);
        arrow.lineTo(c.x() + 3, c.y() - dy);
        arrow.lineTo(c.x(), c.y() + dy);
        arrow.closeSubpath();
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(arrow, enabled ? QColor(Qt::black) : QColor(150, 150, 150));
        p.setRenderHint(QPainter::Antialiasing, false);
    }
}

void YearStepper::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return;
    m_pressedHalf = event->position().y() < height() / 2 ? 1 : -1;
    update();
    if (m_pressedHalf > 0)
        stepUp();
    else
        stepDown();
}

void YearStepper::mouseReleaseEvent(QMouseEvent *) {
    m_pressedHalf = 0;
    update();
}

} // namespace tarv
