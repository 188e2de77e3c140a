#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace tarv {

// Number, date and time texts in the user's locale, and the single-byte code page of the files.
namespace fmt {

// The shortest text of value with at most 15 significant digits, no trailing zeros and no
// grouping, with the locale's decimal separator: 9 -> "9", 9.5 -> "9,5" in Greek.
QString general(double value, const QLocale &locale = QLocale());

// The ledger's amount pattern "0000.000": at least four integer digits, three decimals, rounded.
QString ledgerAmount(double value, const QLocale &locale = QLocale());

// The pattern "0.00": at least one integer digit and two decimals, rounded.
QString twoDecimals(double value, const QLocale &locale = QLocale());

// The locale's short date format ("15/3/01" in Greek).
QString shortDate(const QDate &date, const QLocale &locale = QLocale());

// The locale's long time format, the time with seconds and without a time-zone name.
QString longTime(const QTime &time, const QLocale &locale = QLocale());

// Reads a decimal number written with a comma or a point as the decimal separator, with
// optional surrounding spaces. Raises EConvertError("'text' is not a valid floating point value").
double toDouble(const QString &text);

// Reads a decimal integer with optional surrounding spaces. Raises EConvertError
// ("'text' is not a valid integer value").
int toInt(const QString &text);

// Text to and from the Greek single-byte code page 1253 used by data.dat and popup.txt.
QByteArray toCp1253(const QString &text);
QString fromCp1253(const QByteArray &bytes);

// At most count characters of text from the 1-based position start; a count of 0 means 35000.
// A start below 1 reads from the first character; a start beyond the end or a negative count
// gives an empty text.
QString copyChars(const QString &text, int start, int count);

// The day key of a date: two-digit year, month and day ("010315" for 15 March 2001).
QString dayKey(const QDate &date);

} // namespace fmt
} // namespace tarv
