#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

namespace tarv::calls {

// The byte counters of one interface at one moment.
struct Counters {
    quint64 received = 0;
    quint64 sent = 0;
};

// Reads the counters of a network interface; nothing when the interface does not exist (now).
class TrafficSource {
public:
    virtual ~TrafficSource() = default;
    virtual std::optional<Counters> read(const QString &interfaceName) = 0;
};

// The kernel's 64-bit counters under <root>/class/net/<interface>/statistics (root is "/sys").
class SysfsTrafficSource final : public TrafficSource {
public:
    explicit SysfsTrafficSource(QString root = QStringLiteral("/sys")) : m_root(std::move(root)) {}
    std::optional<Counters> read(const QString &interfaceName) override;

private:
    QString m_root;
};

// The traffic source of this system: the kernel's counters on Linux, the remote-access service's
// connection statistics on Windows (keyed by the connection's handle).
std::shared_ptr<TrafficSource> systemTrafficSource();

// Adds up the bytes a connection moved from successive readings of its interface's counters.
// A counter is never taken to have overflowed: one that reads lower than before (the link was
// made anew and its counters started again) or an interface that disappears and comes back
// starts a new base, so at worst the bytes between two readings are missed, never invented.
class TrafficTotal final {
public:
    // Takes one reading; nothing means the interface is not there at this moment.
    void sample(const std::optional<Counters> &reading);
    quint64 received() const { return m_total.received; }
    quint64 sentBytes() const { return m_total.sent; }

private:
    Counters m_total;
    std::optional<Counters> m_base; // the last reading since the current base started
};

// Extends a 32-bit counter that wraps to a 64-bit total: each reading adds what the counter
// moved since the last one, taken modulo 2^32. Windows' connection statistics count in 32 bits
// and start from zero with each connection, so a lower reading there is a wrap, not a new link;
// the readings must come often enough that the counter cannot wrap twice in between.
class Wrapping32Total final {
public:
    quint64 add(quint32 reading);
    quint64 total() const { return m_total; }

private:
    quint64 m_total = 0;
    std::optional<quint32> m_last;
};

} // namespace tarv::calls
