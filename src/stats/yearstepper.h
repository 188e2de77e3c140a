#pragma once

#include <QWidget>

class QLineEdit;

namespace tarv {

// A small up-down stepper bound to an edit: each click moves its position by one step within
// [minimum, maximum], without wrapping, and writes the position into the edit as a plain
// integer. The edit's own change signal then tells the program.
class YearStepper final : public QWidget {
    Q_OBJECT
public:
    explicit YearStepper(QWidget *parent = nullptr);

    void setAssociate(QLineEdit *edit) { m_associate = edit; }
    void setRange(int minimum, int maximum);
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    int position() const { return m_position; }
    // Moves to position (kept in range) and writes it into the edit.
    void setPosition(int position);

    // One click on the upper or the lower arrow.
    void stepUp() { setPosition(m_position + 1); }
    void stepDown() { setPosition(m_position - 1); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QLineEdit *m_associate = nullptr;
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    int m_pressedHalf = 0; // 1 upper arrow, -1 lower arrow, 0 none
};

} // namespace tarv
