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

// A line's fields as read, before they make a CallRow: numbers and times read, texts still the
// line's UTF-8 bytes. A report writes these out as they come, without a CallRow's allocations.
struct RowFields {
    struct Time {
        QByteArrayView text; // as the line writes it
        qint64 msecs = 0;    // the moment, since 1970 in UTC
        int offset = 0;      // seconds east of UTC that it was written with
        bool logForm = false; // written as isoLocal writes, "2001-03-15T23:59:30+02:00"
    };

    Time start;
    Time end;
    qint64 seconds = 0; // as CallRow::seconds() tells it
    int units = 0;
    double cost = 0;
    int unitsA = 0;
    int unitsB = 0;
    // UTF-8 without quotes; a row's texts are QString::fromUtf8 of these.
    QByteArrayView currency;
    QByteArrayView name;
    QByteArrayView device;
    std::optional<quint64> received;
    std::optional<quint64> sent;
    CallRow::State state = CallRow::State::Finished;
};

// Reads lines into RowFields, as parseCsvLine reads them into rows. The views point into the line,
// or into the reader for fields that had quotes: they hold until the next read.
class FieldReader {
public:
    bool read(QByteArrayView line, RowFields &fields);

private:
    QByteArray m_unquoted;
};

// Reads the lines of one file as parseCsvLine does. A reader remembers the texts of the row it
// read last, so that the rows of a long log, which name the same provider, device and currency
// over and over, share one copy of each text instead of holding one apiece.
class CsvReader {
public:
    std::optional<CallRow> read(QByteArrayView line);

private:
    // A text and the bytes it was made of.
    struct Shared {
        QByteArray bytes;
        QString text;
    };
    static QString shared(QByteArrayView bytes, Shared &last);

    FieldReader m_fields;
    Shared m_currency;
    Shared m_name;
    Shared m_device;
};

// The rows of a whole file's bytes; lines that do not read are skipped and counted in skipped.
QList<CallRow> parseCsv(const QByteArray &bytes, int *skipped = nullptr);

// Local time with its offset, to the second: "2001-03-15T23:59:30+02:00".
QString isoLocal(const QDateTime &time);
// isoLocal's text in ASCII at out, which has room for kIsoLocalRoom bytes; returns its end.
constexpr int kIsoLocalRoom = 48;
char *writeIsoLocal(const QDateTime &time, char *out);
// The same for a time as a FieldReader read it.
char *writeIsoLocal(const RowFields::Time &time, char *out);
// A field as csv writes it: quoted only when it holds a comma, a quote or a line end.
QString csvField(const QString &text);

} // namespace tarv::calls

// Every member of a row may be moved in memory as its bytes, and so may the row: a list of a long
// log's rows then grows by moving its memory rather than each row in turn.
Q_DECLARE_TYPEINFO(tarv::calls::CallRow, Q_RELOCATABLE_TYPE);
