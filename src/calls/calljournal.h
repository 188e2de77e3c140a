#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tarv::calls {

// What the journal holds: the rows that are owed to calls.csv (already as csv lines with their
// line ends) and the size calls.csv had before any of them was appended.
struct JournalEntry {
    qint64 offset = 0;
    QByteArray text;
};

// The small file calls.open beside calls.csv that keeps the row of the connection under way.
// It has two fixed slots written in turn, each with a sequence number and a checksum, and each
// update is a single write of one slot in place: a write cut short by a kill or a power loss
// spoils at most the slot being written, and the other still holds the previous update.
class CallJournal final {
public:
    explicit CallJournal(QString path) : m_path(std::move(path)) {}

    // The largest text a slot can hold.
    static constexpr int kTextCapacity = 3900;

    QString path() const { return m_path; }
    // Writes entry over the older slot and forces it to the disk. Raises EInOutError.
    void write(const JournalEntry &entry);
    // The newest whole slot; nothing when the file is missing or holds none.
    std::optional<JournalEntry> read() const;
    // Removes the file; the next write starts a new one.
    void clear();

private:
    QString m_path;
    quint64 m_sequence = 0;
};

// Brings calls.csv up to date with the journal's entry: a partial or complete earlier append of
// the entry's rows (those after its offset) is replaced, so no row is lost, cut or doubled.
// Returns the file's size after. Raises EInOutError.
qint64 applyEntry(const QString &csvPath, const JournalEntry &entry);

// Creates calls.csv with its header when it is missing or empty, and ends a last line that has no
// line end. Returns the file's size. Raises EInOutError.
qint64 prepareCsv(const QString &csvPath);

} // namespace tarv::calls
