#pragma once

#include "platform/clock.h"

namespace tarv {

// The system's local clock.
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace tarv
