#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace tarv {

// A repeating timer of the GUI thread. It runs only while it is enabled, has a non-zero interval
// and has a handler; setting a property to the value it already has leaves a running timer alone,
// so a wait's limit keeps counting from the first switch-on.
class TMessageTimer final : public QObject {
public:
    explicit TMessageTimer(QObject *parent = nullptr);
    ~TMessageTimer() override;

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    unsigned Interval() const { return m_interval; }
    void setInterval(unsigned milliseconds);
    void setOnTimer(std::function<void()> handler);

    // Whether the underlying timer is counting right now.
    bool isRunning() const { return m_timer.isActive(); }

private:
    void restart();

    QTimer m_timer;
    bool m_enabled = true;
    unsigned m_interval = 1000;
    std::function<void()> m_onTimer;
};

} // namespace tarv
