#pragma once

#include "stats/ledgerreport.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace tarv::calls {

// The first and last day a report request covers: its year, its month or its range.
std::pair<QDate, QDate> requestDays(const stats::ReportRequest &request);

// `tarv --report --calls`: the rows of calls.csv (its bytes) whose day lies in the request's
// days, oldest first, with their totals. Text is a table in the locale's numbers; csv writes the
// file's own columns and header; json an object with the rows and the totals.
QString formatCallsReport(const QByteArray &csv, const stats::ReportRequest &request,
                          const QLocale &locale = QLocale());

// Reads calls.csv in folder, opened for reading only, and formats the report. A missing file is a
// log without connections yet; one that cannot be read raises stats::ELedgerError.
QString callsReport(const QString &folder, const stats::ReportRequest &request, const QLocale &locale = QLocale());

} // namespace tarv::calls
