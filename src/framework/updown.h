#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QLineEdit;

namespace tarv {

// An up-down stepper: two small arrow buttons, one above the other, that step an integer
// position by 1 between a minimum and a maximum without wrapping. It may be bound to an edit:
// then every step starts from the number the edit shows and writes the new position back into it
// as a plain integer, and the Up and Down keys in the edit step too. Positions and bounds set by
// the program never touch the edit's text. Holding an arrow down repeats the step.
class UpDown final : public QWidget {
    Q_OBJECT
public:
    enum class Button { Up, Down };
    Q_ENUM(Button)

    explicit UpDown(QWidget *parent = nullptr);

    int position() const { return m_position; }
    // Sets the position, kept within the bounds when they are in order.
    void setPosition(int position);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    void setMinimum(int minimum) { m_minimum = minimum; }
    void setMaximum(int maximum) { m_maximum = maximum; }
    void setRange(int minimum, int maximum);

    QLineEdit *associate() const { return m_associateGuard ? m_associate : nullptr; }
    // Binds the stepper to an edit (or unbinds it with nullptr).
    void setAssociate(QLineEdit *edit);

    // One step, exactly as a click on that arrow makes it; emits clicked.
    void step(Button button);

    QSize sizeHint() const override { return {13, 21}; }

signals:
    // After every step, with the arrow that made it (also at a bound, where the position stays).
    void clicked(tarv::UpDown::Button button);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The arrow under a point of the widget.
    Button buttonAt(const QPoint &point) const;
    void repeatStep();

    int m_position = 0;
    int m_minimum = 0;
    int m_maximum = 100;
    // The edit, and a guard that turns null when it is destroyed. The guard is kept as a plain
    // object, since the edit's own events still pass the filter while it is being destroyed.
    QLineEdit *m_associate = nullptr;
    QPointer<QObject> m_associateGuard;
    bool m_pressed = false;
    Button m_pressedButton = Button::Up;
    QTimer m_repeat;
};

} // namespace tarv
