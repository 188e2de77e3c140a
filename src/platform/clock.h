#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace tarv {

// Where the meter gets the current date and time. The program uses the system clock;
// tests drive a FakeClock so that units fall due without waiting.
class Clock {
public:
    virtual ~Clock() = default;
    // The current local date and time, with milliseconds.
    virtual QDateTime now() const = 0;
    // Milliseconds from a fixed point, on a clock that setting the date and time does not move:
    // the time that really passed between two readings. The meter tells by it a program that
    // stalled (whose missed units are due) from a clock set forward (whose skipped time is not).
    virtual qint64 steadyMs() const {
        static const QElapsedTimer since = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }();
        return since.elapsed();
    }
};

} // namespace tarv
