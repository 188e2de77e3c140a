#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <array>
#include <functional>

namespace tarv::stats {

// The statistics views read the ledger data.dat whole and derive their figures from its day
// records ("yymmdd|0000,000"). The header line and the filler lines never count. Nothing is
// cached: every view reads the file anew.

// The bytes of data.dat in folder. Raises EInOutError when the file cannot be opened or read.
QByteArray readLedgerFile(const QString &folder);

// Calls visit(index, line) for every line of bytes, without its line end. Lines end at CR LF,
// a lone LF or a lone CR, the way the ledger's text readers take them.
void forEachLine(QByteArrayView bytes, const std::function<void(qsizetype, QByteArrayView)> &visit);

// The twelve monthly sums of the year whose last two digits are characters 3 and 4 of
// yearText ("2003" counts the records that begin with "03"). Several records of one day all
// add up. A record whose month lies outside 1..12 is passed over. Raises EConvertError for a
// record of the year whose month or amount is not a number.
std::array<double, 12> monthlyTotals(QByteArrayView ledger, const QString &yearText);

// The sum of the records dated from..to, both included. Only lines of exactly 15 characters
// are records here. A key whose month or day lies outside 1..12 or 1..31 dates the line before
// any range; two-digit years are 2000..2099. Raises EDateError for a record whose date does not
// exist (31 April) and EConvertError for a record in the range whose amount is not a number.
double rangeTotal(QByteArrayView ledger, const QDate &from, const QDate &to);

// The 31 day values of month in year: element d - 1 holds the amount of day d, 0 where there is
// no record; a later record of a day replaces an earlier one. A record whose day lies outside
// 1..31 is passed over. Raises EConvertError for a record of the month whose day or amount is
// not a number.
std::array<double, 31> dayValues(QByteArrayView ledger, int year, int month);

// The first four characters of the records of month in year: "0303" for March 2003.
QByteArray monthKey(int year, int month);

} // namespace tarv::stats
