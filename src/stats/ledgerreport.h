#pragma once

#include "framework/errors.h"

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>

namespace tarv::stats {

// The ledger could not be read or holds a line the readers cannot take. The message names the
// file and, for a damaged line, its number.
class ELedgerError final : public Exception {
public:
    using Exception::Exception;
};

enum class ReportFormat { Text, Csv, Json };

// What `tarv --report` is asked for: the twelve months of a year, the days of a month, or the
// total of a range of days, in one of three forms.
struct ReportRequest {
    enum class Kind { Year, Month, Range };
    Kind kind = Kind::Year;
    int year = 2000;
    int month = 1;
    QDate from;
    QDate to;
    ReportFormat format = ReportFormat::Text;
};

// The report of request over the ledger bytes of the file at path (path is only named in
// errors). The figures come from the readers behind the statistics windows, so they match what
// the windows show: the monthly grid, the daily chart and the range calculator. The text form
// writes amounts as the windows do (locale, currency); csv and json write numbers with a point.
// Raises ELedgerError naming path and the damaged line.
QString formatReport(const QByteArray &ledger, const QString &path, const ReportRequest &request,
                     const QLocale &locale = QLocale());

// Reads data.dat in folder, opened for reading only, and formats the report. Raises ELedgerError
// for a file that is missing or cannot be read, and for a damaged one.
QString ledgerReport(const QString &folder, const ReportRequest &request, const QLocale &locale = QLocale());

// A number as csv and json write it: at most 15 significant digits, a point, no grouping.
QString plainNumber(double value);

// A text as a json string, quotes included.
QString jsonString(const QString &text);

} // namespace tarv::stats
