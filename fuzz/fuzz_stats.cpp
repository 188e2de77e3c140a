// Feeds arbitrary bytes to the statistics readers of the ledger: the twelve monthly totals, the
// total between two dates and the chart's day values. Reported errors (a record that does not
// convert, a date that does not exist) are expected; crashes and overruns are findings, and so
// is any difference between the range total's two readers of whole runs.
#include "framework/errors.h"
#include "fuzzsupport.h"
#include "stats/ledgerruns.h"
#include "stats/ledgerstats.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

using namespace tarv;

namespace {

// Reads the ledger as the range total does, by whole runs where they go and a line at a time
// where they stop, with both widths of blocks; they must stop at the same places and add up
// the same amounts.
void compareRunReaders(const char *data, qsizetype n, const stats::scan::KeySpan &span) {
#if defined(TARV_SCAN_AVX2)
    using namespace stats::scan;
    if (!hasAvx2()) return;
    RunSums narrow, wide;
    for (qsizetype at = nextLine(data, n, lineEnd(data, n, 0)); at < n;) {
        const qsizetype stop = usualRuns16(data, n, at, span, narrow);
        if (usualRuns32(data, n, at, span, wide) != stop) std::abort();
        at = nextLine(data, n, lineEnd(data, n, stop));
    }
    narrow.fold();
    wide.fold();
    if (narrow.thousandths != wide.thousandths) std::abort();
#else
    (void)data, (void)n, (void)span;
#endif
}

} // namespace

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
    // Keys of the first day of the chosen year and month and the last day of the following
    // year: most ledgers the fuzzer makes have whole runs inside and outside that.
    const auto key = [](int yy, int mm, int dd) {
        char text[9];
        std::snprintf(text, sizeof text, "%02d%02d%02d  ", yy, mm, dd);
        return qint64(stats::scan::recordKey(text));
    };
    compareRunReaders(ledger.data(), ledger.size(), {key(year % 100, month, 1), key((year + 1) % 100, 12, 31)});
    try {
        stats::dayValues(ledger, year, month);
    } catch (const Exception &) {
    }
    return 0;
}
