#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>

namespace tarv {

// A transparent area without text laid over a picture: the hand cursor, a hint, a click (a
// left-button press and release inside the area) and every pointer movement over it.
class ClickArea final : public QWidget {
    Q_OBJECT
public:
    explicit ClickArea(QWidget *parent = nullptr);

    std::function<void()> onClick;
    std::function<void()> onMouseMove;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};

// A picture that takes the mouse: every press, movement and release with any button, so that
// a window can be dragged by it. Without a pixmap it draws nothing.
class PictureBox final : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    QPixmap picture() const;
    void setPicture(const QPixmap &picture);
    // The picture in a file, read when it is first drawn or asked for: a window that starts
    // hidden and may never be shown does not decode it at start-up.
    void setPictureFile(const QString &path);

    std::function<void()> onMouseDown;
    std::function<void()> onMouseMove;
    std::function<void()> onMouseUp;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    mutable QPixmap m_picture;
    mutable QString m_pictureFile;
};

} // namespace tarv
