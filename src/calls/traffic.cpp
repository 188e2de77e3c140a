#include "calls/traffic.h"

#include <QDir>
#include <QFile>

#ifdef _WIN32
#include "platform/windows/rastrafficsource.h"
#endif

namespace tarv::calls {

namespace {

std::optional<quint64> readNumber(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    bool ok = false;
    const quint64 n = file.read(32).trimmed().toULongLong(&ok);
    if (!ok) return std::nullopt;
    return n;
}

} // namespace

std::optional<Counters> SysfsTrafficSource::read(const QString &interfaceName) {
    // The name comes from another program: one that could leave the statistics folder is refused.
    if (interfaceName.isEmpty() || interfaceName.contains(QLatin1Char('/')) || interfaceName == QLatin1String(".") ||
        interfaceName == QLatin1String(".."))
        return std::nullopt;
    const QString folder = QStringLiteral("%1/class/net/%2/statistics/").arg(m_root, interfaceName);
    const std::optional<quint64> rx = readNumber(folder + QStringLiteral("rx_bytes"));
    const std::optional<quint64> tx = readNumber(folder + QStringLiteral("tx_bytes"));
    if (!rx || !tx) return std::nullopt;
    return Counters{*rx, *tx};
}

std::shared_ptr<TrafficSource> systemTrafficSource() {
#ifdef _WIN32
    return std::make_shared<RasTrafficSource>();
#else
    return std::make_shared<SysfsTrafficSource>();
#endif
}

void TrafficTotal::sample(const std::optional<Counters> &reading) {
    if (!reading) {
        // The interface is gone: what it counted so far is kept, and its return starts anew.
        m_base.reset();
        return;
    }
    if (m_base && reading->received >= m_base->received && reading->sent >= m_base->sent) {
        m_total.received += reading->received - m_base->received;
        m_total.sent += reading->sent - m_base->sent;
    }
    // The counters of a link restart together, so either one going down means both did: this
    // reading is the new base for both.
    m_base = reading;
}

quint64 Wrapping32Total::add(quint32 reading) {
    // Unsigned 32-bit subtraction gives the distance moved across a wrap as well.
    m_total += m_last ? quint32(reading - *m_last) : reading;
    m_last = reading;
    return m_total;
}

} // namespace tarv::calls
