#include "framework/clickarea.h"

#include "framework/picture.h"

#include <QMouseEvent>
#include <QPainter>
#include <utility>

namespace tarv {

ClickArea::ClickArea(QWidget *parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    // Movements without a button pressed count too: the vendor label opens its menu on hover.
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
}

void ClickArea::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) m_pressed = true;
    event->accept();
}

void ClickArea::mouseReleaseEvent(QMouseEvent *event) {
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) m_pressed = false;
    event->accept();
    if (click && onClick) onClick();
}

void ClickArea::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    if (onMouseMove) onMouseMove();
}

PictureBox::PictureBox(QWidget *parent) : QWidget(parent) {}

QPixmap PictureBox::picture() const {
    if (!m_pictureFile.isEmpty()) m_picture = readPicture(std::exchange(m_pictureFile, QString()));
    return m_picture;
}

void PictureBox::setPicture(const QPixmap &picture) {
    m_pictureFile.clear();
    m_picture = picture;
    update();
}

void PictureBox::setPictureFile(const QString &path) {
    m_pictureFile = path;
    m_picture = QPixmap();
    update();
}

void PictureBox::paintEvent(QPaintEvent *) {
    const QPixmap shown = picture();
    if (shown.isNull()) return;
    QPainter p(this);
    p.drawPixmap(0, 0, shown);
}

void PictureBox::mousePressEvent(QMouseEvent *event) {
    event->accept();
    if (onMouseDown) onMouseDown();
}

void PictureBox::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    if (onMouseMove) onMouseMove();
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (onMouseUp) onMouseUp();
}

} // namespace tarv
