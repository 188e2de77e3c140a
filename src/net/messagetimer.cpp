#include "net/messagetimer.h"

#include <limits>

namespace tarv {

TMessageTimer::TMessageTimer(QObject *parent) : QObject(parent) {
    m_timer.setTimerType(Qt::PreciseTimer);
    // An error from the handler travels on to the application's handler like any other
    // error of an event.
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_onTimer) m_onTimer();
    });
}

TMessageTimer::~TMessageTimer() {
    m_timer.stop();
}

void TMessageTimer::setEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    restart();
}

void TMessageTimer::setInterval(unsigned milliseconds) {
    if (milliseconds == m_interval) return;
    m_interval = milliseconds;
    restart();
}

void TMessageTimer::setOnTimer(std::function<void()> handler) {
    m_onTimer = std::move(handler);
    restart();
}

void TMessageTimer::restart() {
    m_timer.stop();
    if (m_interval == 0 || !m_enabled || !m_onTimer) return;
    // QTimer takes a signed interval; longer ones are as good as never.
    const unsigned limit = unsigned(std::numeric_limits<int>::max());
    m_timer.start(int(m_interval > limit ? limit : m_interval));
}

} // namespace tarv
