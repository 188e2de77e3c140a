#include "framework/shapecircle.h"

#include <QPainter>

namespace tarv {

ShapeCircle::ShapeCircle(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
}

void ShapeCircle::setBrushColor(const QColor &color) {
    if (m_color == color) return;
    m_color = color;
    update();
}

void ShapeCircle::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(m_color);
    p.drawEllipse(QRectF(0.5, 0.5, width() - 1.0, height() - 1.0));
}

Bevel::Bevel(QWidget *parent) : QWidget(parent) {}

void Bevel::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.setPen(QColor(128, 128, 128));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(Qt::white);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

} // namespace tarv
