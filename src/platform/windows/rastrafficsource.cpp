#include "platform/windows/rastrafficsource.h"

#include "platform/windows/rasdialupservice.h"
#include "platform/windows/rasprobe.h"

namespace tarv {

std::optional<calls::Counters> RasTrafficSource::read(const QString &interfaceName) {
    void *const handle = RasDialupService::handleFromText(interfaceName);
    if (!handle) return std::nullopt;
    const win32::RasTraffic traffic = win32::queryRasTraffic(handle);
    if (!traffic.obtained) return std::nullopt;
    if (interfaceName != m_connection || traffic.durationMs < m_durationMs) {
        m_connection = interfaceName;
        m_received = calls::Wrapping32Total();
        m_sent = calls::Wrapping32Total();
    }
    m_durationMs = traffic.durationMs;
    return calls::Counters{m_received.add(traffic.received), m_sent.add(traffic.sent)};
}

} // namespace tarv
