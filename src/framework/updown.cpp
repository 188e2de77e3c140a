#include "framework/updown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace tarv {

namespace {

// The pause before a held arrow starts repeating, and the pace of the repeats.
constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 80;

} // namespace

UpDown::UpDown(QWidget *parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    m_repeat.setSingleShot(false);
    connect(&m_repeat, &QTimer::timeout, this, &UpDown::repeatStep);
}

void UpDown::setPosition(int position) {
    if (m_minimum <= m_maximum) position = qBound(m_minimum, position, m_maximum);
    if (position == m_position) return;
    m_position = position;
    update();
}

void UpDown::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
}

void UpDown::setAssociate(QLineEdit *edit) {
    if (QLineEdit *old = associate()) old->removeEventFilter(this);
    m_associate = edit;
    m_associateGuard = edit;
    if (edit) edit->installEventFilter(this);
}

void UpDown::step(Button button) {
    QLineEdit *edit = associate();
    int start = m_position;
    if (edit) {
        bool ok = false;
        const int shown = edit->text().trimmed().toInt(&ok);
        if (ok) start = shown;
    }
    // A step moves only in the arrow's direction and lands within the bounds; at a bound, or
    // when the bounds have crossed, it stays where it is.
    int next = start;
    if (m_minimum <= m_maximum) {
        if (button == Button::Up && start < m_maximum) next = qMax(start + 1, m_minimum);
        if (button == Button::Down && start > m_minimum) next = qMin(start - 1, m_maximum);
    }
    m_position = next;
    if (edit) edit->setText(QString::number(next));
    update();
    emit clicked(button);
}

UpDown::Button UpDown::buttonAt(const QPoint &point) const {
    return point.y() < height() / 2 ? Button::Up : Button::Down;
}

void UpDown::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = true;
    m_pressedButton = buttonAt(event->position().toPoint());
    step(m_pressedButton);
    m_repeat.start(kRepeatDelayMs);
}

void UpDown::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_pressed = false;
    m_repeat.stop();
    update();
}

void UpDown::repeatStep() {
    if (!m_pressed || !isVisible()) {
        m_repeat.stop();
        return;
    }
    m_repeat.setInterval(kRepeatIntervalMs);
    // Only while the pointer stays over the arrow that was pressed.
    const QPoint at = mapFromGlobal(QCursor::pos());
    if (rect().contains(at) && buttonAt(at) == m_pressedButton) step(m_pressedButton);
}

bool UpDown::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_associateGuard.data() && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? Button::Up : Button::Down);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const int half = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        const Button which = i == 0 ? Button::Up : Button::Down;
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = halves[i];
        if (m_pressed && m_pressedButton == which)
            option.state |= QStyle::State_Sunken;
        else
            option.state |= QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &option, &p, this);
        option.rect = halves[i].adjusted(2, 1, -2, -1);
        style()->drawPrimitive(which == Button::Up ? QStyle::PE_IndicatorArrowUp
                                                   : QStyle::PE_IndicatorArrowDown,
                               &option, &p, this);
    }
}

} // namespace tarv
