#pragma once

#include <QDateTime>

namespace tarv {

// Where the meter gets the current date and time. The program uses the system clock;
// tests drive a FakeClock so that units fall due without waiting.
class Clock {
public:
    virtual ~Clock() = default;
    // The current local date and time, with milliseconds.
    virtual QDateTime now() const = 0;
};

} // namespace tarv
