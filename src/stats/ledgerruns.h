#pragma once

// The range total's reader of whole runs of usual records. Most runs of a ledger lie wholly
// inside a range or wholly outside it: such a run is taken or passed over whole, its amounts
// added place by place, and only the rest (a range's ends, a day that only some years have, a
// date outside the calendar) needs each record's own look.

#include "stats/ledgerscan.h"

namespace tarv::stats::scan {

// A run of sixteen usual records: seventeen blocks of sixteen bytes.
constexpr int kRunBytes = 17 * kRunRecords;

// The keys a total takes, first..last both included, as recordKey() gives them.
struct KeySpan {
    qint64 first = 0;
    qint64 last = -1;
};

// The amounts of the runs taken whole. The digits are summed byte by byte at their places in a
// run (byte i of bytes holds the sum of the digits at byte i of every run added since the last
// fold), and only the fold weighs each place by its worth. A digit adds at most 9, so a byte
// holds the sums of 28 runs. Sixteen-byte alignment is all that a Windows build's stack keeps.
struct RunSums {
    static constexpr int kRunsPerFold = 28;
    alignas(16) quint8 bytes[kRunBytes] = {};
    int pending = 0;
    qint64 thousandths = 0;

    // Adds the digit sums, each weighed by its place, to thousandths and empties them.
    void fold();
};

#if defined(__SSE2__)
// What the digit at each byte of a run is worth, in two parts that each fit sixteen bits: the
// amount's whole units and its thousandths.
struct RunWeights {
    alignas(32) qint16 units[kRunBytes];
    alignas(32) qint16 thousandths[kRunBytes];
};

inline const RunWeights &runWeights() {
    static const RunWeights weights = [] {
        static constexpr qint16 kUnits[17] = {0, 0, 0, 0, 0, 0, 0, 1000, 100, 10, 1, 0, 0, 0, 0, 0, 0};
        static constexpr qint16 kThousandths[17] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 10, 1, 0, 0};
        RunWeights w;
        for (int i = 0; i < kRunBytes; ++i) {
            w.units[i] = kUnits[i % 17];
            w.thousandths[i] = kThousandths[i % 17];
        }
        return w;
    }();
    return weights;
}

// The worth of the digit sums at bytes at..at+15 of a run, added to the units and thousandths
// of four 32-bit lanes.
inline void weigh(__m128i sums, int at, __m128i &units, __m128i &thousandths) {
    const RunWeights &w = runWeights();
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_unpacklo_epi8(sums, zero);
    const __m128i high = _mm_unpackhi_epi8(sums, zero);
    const auto weights = [](const qint16 *p) { return _mm_load_si128(reinterpret_cast<const __m128i *>(p)); };
    units = _mm_add_epi32(units, _mm_add_epi32(_mm_madd_epi16(low, weights(w.units + at)),
                                               _mm_madd_epi16(high, weights(w.units + at + 8))));
    thousandths = _mm_add_epi32(thousandths, _mm_add_epi32(_mm_madd_epi16(low, weights(w.thousandths + at)),
                                                           _mm_madd_epi16(high, weights(w.thousandths + at + 8))));
}

inline qint64 laneSum(__m128i v) {
    alignas(16) qint32 lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i *>(lanes), v);
    return qint64(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
}

// The sums weighed four lanes at a time.
inline void foldRuns(RunSums &sums) {
    __m128i units = _mm_setzero_si128();
    __m128i thousandths = _mm_setzero_si128();
    for (int j = 0; j < 17; ++j) {
        __m128i *bytes = reinterpret_cast<__m128i *>(sums.bytes + 16 * j);
        weigh(_mm_load_si128(bytes), 16 * j, units, thousandths);
        _mm_store_si128(bytes, _mm_setzero_si128());
    }
    sums.thousandths += laneSum(units) * 1000 + laneSum(thousandths);
    sums.pending = 0;
}

inline void RunSums::fold() {
    foldRuns(*this);
}
#else
inline void RunSums::fold() {
    // What a digit at each place of a record is worth in thousandths; nothing but the
    // amount's digits counts.
    static constexpr qint64 kPlaces[17] = {0, 0, 0, 0, 0, 0, 0, 1000000, 100000, 10000, 1000, 0, 100, 10, 1, 0, 0};
    qint64 places[17] = {};
    for (int i = 0; i < kRunBytes; ++i)
        places[i % 17] += bytes[i];
    for (int c = 0; c < 17; ++c)
        thousandths += places[c] * kPlaces[c];
    std::memset(bytes, 0, sizeof bytes);
    pending = 0;
}
#endif

// Takes or passes over whole runs from at, as usualRuns() does, sixteen bytes at a time.
inline qsizetype usualRuns16(const char *data, qsizetype n, qsizetype at, const KeySpan &span, RunSums &sums) {
#if defined(__SSE2__)
    const RunForm &f = runForm();
    const quint8 *kinds = dateKinds().data();
    for (; n - at >= kRunBytes; at += kRunBytes) {
        const char *p = data + at;
        // A line end out of place shows most lines that are not usual records at once.
        if (p[15] != '\r' || p[16] != '\n' || !recordRun(p, n - at)) break;
        bool dated = true;
        int inside = 0;
        for (int r = 0; r < kRunRecords; ++r) {
            const char *record = p + 17 * r;
            dated &= kinds[monthDay(wordsOf(record))] == kDated;
            const qint64 key = qint64(recordKey(record));
            inside += (key >= span.first) & (key <= span.last);
        }
        if (!dated || (inside != 0 && inside != kRunRecords)) break;
        if (inside == 0) continue;
        for (int j = 0; j < 17; ++j) {
            __m128i *sum = reinterpret_cast<__m128i *>(sums.bytes + 16 * j);
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * j));
            // The form's marks become 0 and the digits their values.
            const __m128i d = _mm_xor_si128(_mm_or_si128(v, f.bits[j]), f.expected[j]);
            _mm_store_si128(sum, _mm_add_epi8(_mm_load_si128(sum), d));
        }
        if (++sums.pending == RunSums::kRunsPerFold) foldRuns(sums);
    }
#else
    (void)data, (void)n, (void)span, (void)sums;
#endif
    return at;
}

#if defined(TARV_SCAN_AVX2)
// Bytes 32j..32j+31 of a run's form tables.
__attribute__((target("avx2"))) inline __m256i formBlock(const __m128i *table, int j) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(reinterpret_cast<const char *>(table) + 32 * j));
}

// Bytes 32j..32j+31 of the run at p with the form's marks turned into 0 and the digits into
// their values (j up to 7; the run's last sixteen bytes are read as recordRun() reads them).
__attribute__((target("avx2"))) inline __m256i runDigits(const char *p, const RunForm &f, int j) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32 * j));
    return _mm256_xor_si256(_mm256_or_si256(v, formBlock(f.bits, j)), formBlock(f.expected, j));
}

__attribute__((target("avx2"))) inline __m128i runDigitsTail(const char *p, const RunForm &f) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 256));
    return _mm_xor_si128(_mm_or_si128(v, f.bits[16]), f.expected[16]);
}

// The same thirty-two bytes at a time. A run's keys are compared four at a time: each record's
// first eight bytes are turned big-endian into a 64-bit lane, whose top six bytes are its key
// and so order as recordKey() does. Its date is checked in the same lane: the month and the day
// become numbers (maddubs weighs the tens by ten), the month looks up its last day in a table
// of sixteen bytes, and the day must lie between 1 and that.
__attribute__((target("avx2"))) inline qsizetype usualRuns32(const char *data, qsizetype n, qsizetype at, const KeySpan &span, RunSums &sums) {
    const RunForm &f = runForm();
    // Beyond every key of 2099 and before every key: the bounds stay clear of the sign bit.
    constexpr qint64 kBeyond = qint64(1) << 46;
    const __m256i first = _mm256_set1_epi64x(std::clamp<qint64>(span.first, 0, kBeyond) << 16);
    const __m256i last = _mm256_set1_epi64x(span.last < 0 ? -1 : (std::min(span.last, kBeyond) << 16) | 0xFFFF);
    // Record r of a 32-byte load starts at byte 0 of the low half, record r + 1 at byte 1 of
    // the high half; each goes reversed into the low eight bytes of its half.
    const __m256i reverse = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, -1, -1, -1, -1, -1, -1, -1, -1, //
                                             8, 7, 6, 5, 4, 3, 2, 1, -1, -1, -1, -1, -1, -1, -1, -1);
    // In a lane, bytes 3 and 2 hold the day's digits and bytes 5 and 4 the month's; maddubs
    // makes 10 * tens + units of each pair, each '0' adding 528 (0x210): byte 2 becomes
    // 0x10 + day and byte 4 0x10 + month.
    const __m256i tens = _mm256_set1_epi64x(0x00000A010A010000LL);
    // Byte 4 + 0x60 keeps months 0..15 as their table index and sets the top bit (an empty
    // lookup) for the rest; every other byte's lookup is emptied too.
    const __m256i monthIndex = _mm256_set1_epi64x(qint64(0x8080806080808080ULL));
    const __m256i lastDays = _mm256_setr_epi8(0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 0, 0, 0, //
                                              0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 0, 0, 0);
    // Byte 2 less 0x11 is the day less one, 255 for day 0.
    const __m256i dayLess = _mm256_set1_epi64x(0x0000000000110000LL);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ones = _mm256_set1_epi8(-1);

    __m256i acc[8];
    for (int j = 0; j < 8; ++j)
        acc[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(sums.bytes + 32 * j));
    __m128i acc8 = _mm_load_si128(reinterpret_cast<const __m128i *>(sums.bytes + 256));
    int pending = sums.pending;
    for (; n - at >= kRunBytes; at += kRunBytes) {
        const char *p = data + at;
        if (p[15] != '\r' || p[16] != '\n') break;
        __m256i outAny = zero;
        __m256i outAll = ones;
        __m256i days = ones;
#pragma GCC unroll 4
        for (int g = 0; g < 4; ++g) {
            const __m256i a = _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 68 * g)), reverse);
            const __m256i b = _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 68 * g + 34)), reverse);
            const __m256i v = _mm256_unpacklo_epi64(a, b);
            const __m256i out = _mm256_or_si256(_mm256_cmpgt_epi64(first, v), _mm256_cmpgt_epi64(v, last));
            outAny = _mm256_or_si256(outAny, out);
            outAll = _mm256_and_si256(outAll, out);
            const __m256i t = _mm256_maddubs_epi16(tens, v);
            // The month's last day, moved from byte 4 to byte 2, less (day - 1): at least 1
            // exactly when the day exists in every year.
            const __m256i lastDay = _mm256_srli_epi64(_mm256_shuffle_epi8(lastDays, _mm256_adds_epu8(t, monthIndex)), 16);
            days = _mm256_min_epu8(days, _mm256_subs_epu8(lastDay, _mm256_sub_epi8(t, dayLess)));
        }
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(days, zero)) & 0x04040404) break;
        const bool taken = _mm256_testz_si256(outAny, outAny);
        if (!taken && _mm256_movemask_epi8(outAll) != -1) break;

        // The form, checked as recordRun() does; a taken run's digits are added on the way
        // and taken back if it turns out not to be a run.
        __m256i off = zero;
#pragma GCC unroll 8
        for (int j = 0; j < 8; ++j) {
            const __m256i d = runDigits(p, f, j);
            off = _mm256_or_si256(off, _mm256_subs_epu8(d, formBlock(f.slack, j)));
            if (taken) acc[j] = _mm256_add_epi8(acc[j], d);
        }
        const __m128i d8 = runDigitsTail(p, f);
        const __m128i off8 = _mm_subs_epu8(d8, f.slack[16]);
        if (taken) acc8 = _mm_add_epi8(acc8, d8);
        if (!_mm256_testz_si256(off, off) || !_mm_testz_si128(off8, off8)) {
            if (taken) {
#pragma GCC unroll 8
                for (int j = 0; j < 8; ++j)
                    acc[j] = _mm256_sub_epi8(acc[j], runDigits(p, f, j));
                acc8 = _mm_sub_epi8(acc8, runDigitsTail(p, f));
            }
            break;
        }
        if (taken && ++pending == RunSums::kRunsPerFold) {
            for (int j = 0; j < 8; ++j) {
                _mm256_storeu_si256(reinterpret_cast<__m256i *>(sums.bytes + 32 * j), acc[j]);
                acc[j] = zero;
            }
            _mm_store_si128(reinterpret_cast<__m128i *>(sums.bytes + 256), acc8);
            acc8 = _mm_setzero_si128();
            foldRuns(sums);
            pending = 0;
        }
    }
    for (int j = 0; j < 8; ++j)
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(sums.bytes + 32 * j), acc[j]);
    _mm_store_si128(reinterpret_cast<__m128i *>(sums.bytes + 256), acc8);
    sums.pending = pending;
    return at;
}
#endif

// Takes or passes over whole runs of sixteen usual records from at (the start of a line): a
// run whose records are all dated days of every year and all inside span adds its amounts to
// sums; one whose records are all such days outside span adds nothing. Returns where the first
// run that is neither begins, or where fewer bytes than a run's are left: the caller reads
// what is there record by record.
inline qsizetype usualRuns(const char *data, qsizetype n, qsizetype at, const KeySpan &span, RunSums &sums) {
    // Most lines that are not usual records show it by a line end out of place; the caller
    // reads them without a call here that would come back at once.
    if (n - at < kRunBytes || data[at + 15] != '\r' || data[at + 16] != '\n') return at;
#if defined(TARV_SCAN_AVX2)
    if (hasAvx2()) return usualRuns32(data, n, at, span, sums);
#endif
    return usualRuns16(data, n, at, span, sums);
}

} // namespace tarv::stats::scan
