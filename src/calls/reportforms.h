#pragma once

#include "calls/callreport.h"
#include "calls/callrow.h"

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <memory>

// The json and text forms of `tarv --report --calls`, written by hand into one UTF-8 buffer a row
// at a time, as the rows are read.
namespace tarv::calls {

class ReportForm {
public:
    virtual ~ReportForm() = default;
    // Writes a row and adds it to the totals.
    virtual void add(const RowFields &row) = 0;
    // The report, ending with the totals of the rows added.
    virtual QByteArray finish() = 0;
};

// The rows as a table in the locale's numbers, with a line of totals. sizeHint is about the bytes
// the rows take in the log.
std::unique_ptr<ReportForm> textForm(const QLocale &locale, qsizetype sizeHint);

// The rows and their totals as one json object, with the days they cover.
std::unique_ptr<ReportForm> jsonForm(const QDate &from, const QDate &to, qsizetype sizeHint);

} // namespace tarv::calls
