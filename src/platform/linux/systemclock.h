#pragma once

#include "platform/clock.h"

#include <time.h>

namespace tarv {

// The system's local clock.
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    // The time since the system started, suspended time included: a modem line can stay up, and
    // be billed, while the computer sleeps.
    qint64 steadyMs() const override {
#ifdef CLOCK_BOOTTIME
        timespec t{};
        if (clock_gettime(CLOCK_BOOTTIME, &t) == 0) return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
#endif
        return Clock::steadyMs();
    }
};

} // namespace tarv
