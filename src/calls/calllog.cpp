#include "calls/calllog.h"

#include "framework/errors.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace tarv::calls {

namespace {

// Long names from another program are cut so that a row always fits the journal's slot.
constexpr int kNameLimit = 200;

QByteArray linesOf(const QList<CallRow> &rows) {
    QByteArray text;
    for (const CallRow &row : rows) text += csvLine(row) + '\n';
    return text;
}

} // namespace

CallLog::CallLog(const QString &folder, std::shared_ptr<TrafficSource> traffic)
    : m_csvPath(QDir(folder).filePath(QStringLiteral("calls.csv"))),
      m_journal(QDir(folder).filePath(QStringLiteral("calls.open"))), m_traffic(std::move(traffic)) {}

void CallLog::recover() {
    const std::optional<JournalEntry> entry = m_journal.read();
    if (entry) {
        // A last line without its end is left for applyEntry, which tells an append of the
        // journal's own rows cut short from a line of someone else's.
        if (QFileInfo(m_csvPath).size() == 0) prepareCsv(m_csvPath);
        applyEntry(m_csvPath, *entry);
    }
    m_journal.clear();
}

void CallLog::close(const QDateTime &at) noexcept {
    if (!m_row) return;
    try {
        rollTo(at.date(), at);
        // The row keeps the figures of its last charged unit, as after a kill.
        commit({*m_row}, false);
    } catch (...) {
        // The journal still holds the row; the next start adds it.
    }
    m_row.reset();
}

void CallLog::connected(const QDateTime &at, const ConnectionInfo &info) {
    m_info = {info.name.left(kNameLimit), info.deviceType.left(kNameLimit), info.interfaceName};
    m_total = TrafficTotal();
    m_counted = false;
    m_sampledAt = {};
    sampleTraffic(at);
    m_rowBase = {m_total.received(), m_total.sentBytes()};
    CallRow row;
    row.start = at;
    row.end = at;
    row.name = m_info.name;
    row.deviceType = m_info.deviceType;
    row.state = CallRow::State::Interrupted;
    m_row = row;
    m_day = at.date();
    // The file is prepared with the first write, so that a connection's start does no disk work.
    m_offset = -1;
}

void CallLog::charged(const QDateTime &at, const QDate &ledgerDay, qint64 unitsA, qint64 unitsB,
                      double price, const QString &currency) {
    if (!m_row) return;
    sampleTraffic(at);
    rollTo(ledgerDay, at);
    CallRow &row = *m_row;
    row.end = std::max(row.end, at);
    row.units += unitsA + unitsB;
    row.unitsA += unitsA;
    row.unitsB += unitsB;
    row.cost += double(unitsA + unitsB) * price;
    row.currency = currency;
    fillTraffic(row);
    commit({}, true);
}

void CallLog::online(const QDateTime &at) {
    if (!m_row) return;
    sampleTraffic(at);
    if (at.date() != m_day) {
        rollTo(at.date(), at);
        commit({}, true);
    }
}

void CallLog::disconnected(const QDateTime &at) {
    if (!m_row) return;
    sampleTraffic(at);
    rollTo(at.date(), at);
    m_row->end = std::max(m_row->end, at);
    m_row->state = CallRow::State::Finished;
    fillTraffic(*m_row);
    const CallRow done = *m_row;
    m_row.reset();
    commit({done}, false);
}

std::optional<CallRow> CallLog::current() const {
    return m_row;
}

std::optional<Counters> CallLog::connectionBytes() const {
    if (!m_row || !m_counted) return std::nullopt;
    return Counters{m_total.received(), m_total.sentBytes()};
}

void CallLog::sampleTraffic(const QDateTime &at) {
    if (!m_traffic || m_info.interfaceName.isEmpty()) return;
    // A tick that charges tells of the charge and then of the tick, both at the same moment: one
    // reading of the interface serves both.
    if (at == m_sampledAt) return;
    m_sampledAt = at;
    const std::optional<Counters> reading = m_traffic->read(m_info.interfaceName);
    m_counted = m_counted || reading.has_value();
    m_total.sample(reading);
}

void CallLog::fillTraffic(CallRow &row) const {
    if (!m_counted) return;
    row.received = m_total.received() - m_rowBase.received;
    row.sent = m_total.sentBytes() - m_rowBase.sent;
}

void CallLog::rollTo(const QDate &day, const QDateTime &at) {
    if (!m_row || day == m_day) return;
    // The ledger starts the new day's record at the first charge of the new date, which comes
    // after midnight; the row is cut at midnight, so each part holds what its day was charged.
    // A clock set back gives no midnight between the two: the cut is then made at this tick.
    QDateTime boundary = QDateTime(day, QTime(0, 0));
    if (day < m_day || !boundary.isValid()) boundary = at;
    boundary = std::clamp(boundary, m_row->start, std::max(m_row->start, at));
    CallRow done = *m_row;
    done.end = std::max(done.end, boundary);
    done.state = CallRow::State::Finished;
    fillTraffic(done);
    m_rowBase = {m_total.received(), m_total.sentBytes()};

    CallRow next;
    next.start = boundary;
    next.end = boundary;
    next.name = done.name;
    next.deviceType = done.deviceType;
    next.currency = done.currency;
    next.state = CallRow::State::Interrupted;
    fillTraffic(next);
    m_row = next;
    m_day = day;
    commit({done}, true);
}

void CallLog::commit(const QList<CallRow> &done, bool keepCurrent) {
    if (m_offset < 0) m_offset = prepareCsv(m_csvPath);
    QList<CallRow> owed = done;
    if (keepCurrent && m_row) owed.append(*m_row);
    // The journal first: from here on a kill at any moment leaves the rows recoverable.
    m_journal.write({m_offset, linesOf(owed)});
    if (done.isEmpty()) return;
    const QByteArray text = linesOf(done);
    m_offset = applyEntry(m_csvPath, {m_offset, text});
    if (keepCurrent && m_row)
        m_journal.write({m_offset, linesOf({*m_row})});
    else
        m_journal.clear();
}

} // namespace tarv::calls
