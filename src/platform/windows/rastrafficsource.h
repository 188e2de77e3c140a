#pragma once

#include "calls/traffic.h"

#include <windows.h>

namespace tarv {

// The bytes of a dial-up connection from the remote-access service's statistics, read by the
// connection's handle (the interface name RasDialupService gives a connected connection). The
// service counts in 32 bits from zero at each connection: a lower count from the same connection
// is a wrap and is added up past it, while another connection, or the same handle with a shorter
// time up (the handle was given to a new connection), starts again from zero.
class RasTrafficSource final : public calls::TrafficSource {
public:
    // Nothing when the handle is not one, the service lacks the statistics or the query fails.
    std::optional<calls::Counters> read(const QString &interfaceName) override;

private:
    QString m_connection; // the handle the totals below belong to
    DWORD m_durationMs = 0;
    calls::Wrapping32Total m_received;
    calls::Wrapping32Total m_sent;
};

} // namespace tarv
