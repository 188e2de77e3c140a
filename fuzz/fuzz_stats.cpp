// Feeds arbitrary bytes to the statistics readers of the ledger: the twelve monthly totals, the
// total between two dates and the chart's day values. Reported errors (a record that does not
// convert, a date that does not exist) are expected; crashes and overruns are findings.
#include "framework/errors.h"
#include "fuzzsupport.h"
#include "stats/ledgerstats.h"

#include <cstdint>

using namespace tarv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::environment();
    if (size < 3) return 0;
    // The first bytes choose the year, the month and the range; the rest is the ledger.
    const int year = 2000 + data[0] % 100;
    const int month = 1 + data[1] % 12;
    const QDate from = QDate(year, month, 1).addDays(-(data[2] % 64));
    const QDate to = from.addDays(data[2] % 90);
    const QByteArrayView ledger(reinterpret_cast<const char *>(data) + 3, static_cast<qsizetype>(size - 3));
    try {
        stats::monthlyTotals(ledger, QString::number(year));
    } catch (const Exception &) {
    }
    try {
        stats::rangeTotal(ledger, from, to);
    } catch (const Exception &) {
    }
    try {
        stats::dayValues(ledger, year, month);
    } catch (const Exception &) {
    }
    return 0;
}
