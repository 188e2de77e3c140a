#pragma once

#include <QColor>
#include <QWidget>

namespace tarv {

// A filled circle the size of the widget: the status lamp.
class ShapeCircle final : public QWidget {
    Q_OBJECT
public:
    explicit ShapeCircle(QWidget *parent = nullptr);
    QColor brushColor() const { return m_color; }
    void setBrushColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color{255, 0, 0};
};

// A sunken frame drawn over what lies behind it, without a fill.
class Bevel final : public QWidget {
    Q_OBJECT
public:
    explicit Bevel(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace tarv
