#pragma once

#include <QLabel>
#include <QMouseEvent>
#include <functional>

namespace tarv {

// A label used as a button: a left click released over it runs onClick.
class ClickLabel final : public QLabel {
public:
    using QLabel::QLabel;

    std::function<void()> onClick;

protected:
    void mousePressEvent(QMouseEvent *event) override {
        if (event->button() == Qt::LeftButton) m_pressed = true;
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent *event) override {
        const bool clicked =
            m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
        m_pressed = false;
        event->accept();
        if (clicked && onClick) onClick();
    }

private:
    bool m_pressed = false;
};

} // namespace tarv
