#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace tarv::calls {

// One row of the connection log: a connection, or the part of it that fell on one day.
struct CallRow {
    enum class State { Finished, Interrupted };

    QDateTime start;
    QDateTime end;
    int units = 0;
    double cost = 0;
    QString currency;
    int unitsA = 0;
    int unitsB = 0;
    QString name;
    QString deviceType;
    // Bytes received and sent; empty when the interface was not known.
    std::optional<quint64> received;
    std::optional<quint64> sent;
    State state = State::Finished;

    qint64 seconds() const { return start.isValid() && end.isValid() ? std::max<qint64>(0, start.secsTo(end)) : 0; }
};

// The header line of calls.csv, without its line end.
QByteArray csvHeader();
// A row as one csv line in UTF-8, without its line end.
QByteArray csvLine(const CallRow &row);
// Reads a line csvLine wrote; nothing for a line that is not one (the header, a damaged line).
std::optional<CallRow> parseCsvLine(QByteArrayView line);

// Reads the lines of one file as parseCsvLine does. A reader remembers the texts of the row it
// read last, so that the rows of a long log, which name the same provider, device and currency
// over and over, share one copy of each text instead of holding one apiece.
class CsvReader {
public:
    std::optional<CallRow> read(QByteArrayView line);

private:
    QString m_currency;
    QString m_name;
    QString m_device;
};

// The rows of a whole file's bytes; lines that do not read are skipped and counted in skipped.
QList<CallRow> parseCsv(const QByteArray &bytes, int *skipped = nullptr);

// Local time with its offset, to the second: "2001-03-15T23:59:30+02:00".
QString isoLocal(const QDateTime &time);
// isoLocal's text in ASCII at out, which has room for kIsoLocalRoom bytes; returns its end.
constexpr int kIsoLocalRoom = 48;
char *writeIsoLocal(const QDateTime &time, char *out);
// A field as csv writes it: quoted only when it holds a comma, a quote or a line end.
QString csvField(const QString &text);

} // namespace tarv::calls

// Every member of a row may be moved in memory as its bytes, and so may the row: a list of a long
// log's rows then grows by moving its memory rather than each row in turn.
Q_DECLARE_TYPEINFO(tarv::calls::CallRow, Q_RELOCATABLE_TYPE);
