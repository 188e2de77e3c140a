#pragma once

#include "calls/callreport.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QLocale>

// The json and text forms of `tarv --report --calls`, written by hand into one UTF-8 buffer.
namespace tarv::calls {

// The rows as a table in the locale's numbers, with a line of totals.
QByteArray textReport(const QList<CallRow> &rows, const CallTotals &totals, const QLocale &locale);

// The rows and their totals as one json object, with the days they cover.
QByteArray jsonReport(const QList<CallRow> &rows, const CallTotals &totals, const QDate &from, const QDate &to);

} // namespace tarv::calls
