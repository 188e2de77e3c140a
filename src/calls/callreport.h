#pragma once

#include "calls/callrow.h"
#include "stats/ledgerreport.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>

namespace tarv::calls {

// The sums of a list of rows: time, units, cost and traffic (a row whose bytes are unknown adds
// none). The currency is the first row's.
struct CallTotals {
    int calls = 0;
    qint64 seconds = 0;
    // Wider than a row's units: rows edited in with the largest units must not overflow their sum.
    qint64 units = 0;
    double cost = 0;
    quint64 received = 0;
    quint64 sent = 0;
    QString currency;

    void add(const CallRow &row);
    void add(const RowFields &row);
};

// A length of time as hours, minutes and seconds: "1:04:09".
QString durationText(qint64 seconds);

// The rows of calls.csv's bytes that start on a day from `from` to `to`, in the file's order. A
// line of those days that does not read, or one whose day cannot be told, is counted in skipped;
// the header is not.
QList<CallRow> rowsOfDays(const QByteArray &csv, const QDate &from, const QDate &to, int *skipped = nullptr);

// Rows in the report's csv form: the file's header and one line per row, LF line ends.
QByteArray csvOfRows(const QList<CallRow> &rows);

// The first and last day a report request covers: its year, its month or its range.
std::pair<QDate, QDate> requestDays(const stats::ReportRequest &request);

// `tarv --report --calls`: the rows of calls.csv (its bytes) whose day lies in the request's
// days, oldest first, with their totals, in UTF-8. Text is a table in the locale's numbers; csv
// writes the file's own columns and header; json an object with the rows and the totals.
QByteArray formatCallsReport(const QByteArray &csv, const stats::ReportRequest &request,
                             const QLocale &locale = QLocale());

// Reads calls.csv in folder, opened for reading only, and formats the report. A missing file is a
// log without connections yet; one that cannot be read raises stats::ELedgerError.
QByteArray callsReport(const QString &folder, const stats::ReportRequest &request, const QLocale &locale = QLocale());

} // namespace tarv::calls
