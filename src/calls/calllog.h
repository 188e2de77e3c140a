#pragma once

#include "calls/calljournal.h"
#include "calls/callrow.h"
#include "calls/traffic.h"
#include "meter/meterobserver.h"

#include <QList>
#include <memory>

namespace tarv::calls {

// The connection log calls.csv in the data folder: one row per connection, or per day of a
// connection that runs past midnight, beside the ledger and never touching it.
//
// The row of the connection under way lives in the journal calls.open and is brought up to date
// at every charged unit; it reaches calls.csv when the connection ends or its day does. Should
// the program end or die with the connection up, the next start (recover()) adds the row as
// interrupted with the figures of its last charged unit.
class CallLog final : public MeterObserver {
public:
    // traffic may be null: the byte columns then stay empty.
    explicit CallLog(const QString &folder, std::shared_ptr<TrafficSource> traffic = {});

    QString csvPath() const { return m_csvPath; }
    QString journalPath() const { return m_journal.path(); }

    // Moves a row the journal still holds into calls.csv, marked interrupted unless it had
    // finished. Call once at start, before the meter's first tick. Raises EInOutError.
    void recover();
    // The program is ending: a connection still up is written as interrupted. Never raises.
    void close(const QDateTime &at) noexcept;

    void connected(const QDateTime &at, const ConnectionInfo &info) override;
    void charged(const QDateTime &at, const QDate &ledgerDay, qint64 unitsA, qint64 unitsB,
                 double price, const QString &currency) override;
    void online(const QDateTime &at) override;
    void disconnected(const QDateTime &at) override;

    // The row of the connection under way, as far as it has come; nothing while offline.
    std::optional<CallRow> current() const;
    // The bytes the connection under way has moved, as of its last tick; nothing while offline
    // or when its interface is not known.
    std::optional<Counters> connectionBytes() const;

private:
    // Reads the interface's counters, once for each moment told.
    void sampleTraffic(const QDateTime &at);
    void fillTraffic(CallRow &row) const;
    // Ends the row at midnight when day is not the row's day, and starts the next day's row.
    void rollTo(const QDate &day, const QDateTime &at);
    // Journals done (rows whose day or connection has ended) and the row under way, then moves
    // the done rows into calls.csv.
    void commit(const QList<CallRow> &done, bool keepCurrent);

    QString m_csvPath;
    CallJournal m_journal;
    std::shared_ptr<TrafficSource> m_traffic;
    ConnectionInfo m_info;
    std::optional<CallRow> m_row;  // the part of the connection under way
    QDate m_day;                   // the day m_row belongs to
    TrafficTotal m_total;          // bytes since the connection came up
    Counters m_rowBase;            // m_total's figures when m_row started
    bool m_counted = false;        // the interface was read at least once
    QDateTime m_sampledAt;         // the moment of the last reading
    qint64 m_offset = -1;          // calls.csv's size before the rows the journal holds; -1 unprepared
};

} // namespace tarv::calls
