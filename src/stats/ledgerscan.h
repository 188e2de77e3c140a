#pragma once

// The loops under the statistics readers. A ledger of a hundred thousand records is read whole
// for every view, so these find line ends and record keys sixteen bytes at a time where the
// processor allows and never build a text for a record of the usual form.

#include <QtEndian>
#include <QtGlobal>
#include <algorithm>
#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// The wide blocks are left out of Windows builds: mingw-w64's compiler does not align the stack
// for 32- and 64-byte vectors that it spills there, and the sixteen-byte blocks serve.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#include <immintrin.h>
#define TARV_SCAN_AVX2 1
#endif

namespace tarv::stats::scan {

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

inline bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Where the line that starts at start ends (the index of its line end, or n).
inline qsizetype lineEnd(const char *data, qsizetype n, qsizetype start) {
    while (start < n && !isLineEnd(data[start]))
        ++start;
    return start;
}

// Where the line after the line end at end starts: after CR LF, a lone CR or a lone LF.
inline qsizetype nextLine(const char *data, qsizetype n, qsizetype end) {
    if (end >= n) return n;
    return (data[end] == '\r' && end + 1 < n && data[end + 1] == '\n') ? end + 2 : end + 1;
}

// Calls visit(index, data, size) for every line: lines end at CR LF, a lone LF or a lone CR.
template <typename Visit> void lines(const char *data, qsizetype n, Visit &&visit) {
    qsizetype start = 0;
    qsizetype index = 0;
    const auto endAt = [&](qsizetype at) {
        if (at < start) return; // the LF of a CR LF that has ended its line already
        visit(index++, data + start, at - start);
        start = nextLine(data, n, at);
    };
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        auto mask = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        for (; mask != 0; mask &= mask - 1)
            endAt(i + __builtin_ctz(mask));
    }
#endif
    for (; i < n; ++i)
        if (isLineEnd(data[i])) endAt(i);
    if (start < n) visit(index, data + start, n - start);
}

#if defined(TARV_SCAN_AVX2)
// The search of keyedLines() thirty-two bytes at a time, on processors that can; returns where
// it stopped. The blocks mark every control byte up to CR and every byte from 0x80 on as a
// possible line end, in one comparison instead of two; the caller keeps only real ones.
template <typename Hit>
__attribute__((target("avx2"))) qsizetype keyedBlocks32(const char *data, qsizetype n, const char *key, int keySize, Hit &hit) {
    const __m256i belowCr = _mm256_set1_epi8('\r' + 1);
    __m256i k[4];
    for (int j = 0; j < keySize; ++j)
        k[j] = _mm256_set1_epi8(key[j]);
    qsizetype i = 0;
    for (; i + 32 + keySize <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i));
        __m256i m = _mm256_cmpgt_epi8(belowCr, v);
        for (int j = 0; j < keySize; ++j)
            m = _mm256_and_si256(
                m, _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i + 1 + j)), k[j]));
        for (auto mask = unsigned(_mm256_movemask_epi8(m)); mask != 0; mask &= mask - 1)
            hit(i + __builtin_ctz(mask));
    }
    return i;
}

inline bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// The same sixty-four bytes at a time, where the processor compares into bit masks.
template <typename Hit>
__attribute__((target("avx512bw"))) qsizetype keyedBlocks64(const char *data, qsizetype n, const char *key, int keySize, Hit &hit) {
    const __m512i belowCr = _mm512_set1_epi8('\r' + 1);
    __m512i k[4];
    for (int j = 0; j < keySize; ++j)
        k[j] = _mm512_set1_epi8(key[j]);
    qsizetype i = 0;
    for (; i + 64 + keySize <= n; i += 64) {
        __mmask64 m = _mm512_cmpgt_epi8_mask(belowCr, _mm512_loadu_si512(data + i));
        for (int j = 0; j < keySize; ++j)
            m = _mm512_mask_cmpeq_epi8_mask(m, _mm512_loadu_si512(data + i + 1 + j), k[j]);
        for (; m != 0; m &= m - 1)
            hit(i + __builtin_ctzll(m));
    }
    return i;
}

inline bool hasAvx512() {
    static const bool has = __builtin_cpu_supports("avx512bw");
    return has;
}
#endif

// Calls visit(data, size) for every line after the first that begins with key (of one to
// four bytes). Only the places where a line end is followed by the key's first two bytes are
// looked at; the rest of a longer key is compared there, which costs less than comparing every
// byte of the file with it.
template <typename Visit> void keyedLines(const char *data, qsizetype n, const char *key, int keySize, Visit &&visit) {
    const auto hit = [&](qsizetype end) {
        // The blocks below mark every control byte up to CR and every byte from 0x80 on, in
        // one comparison instead of two; only a real line end counts.
        if (!isLineEnd(data[end])) return;
        // end is a line end; a line follows it unless it is the CR of a CR LF, whose LF cannot
        // match a key of digits.
        const qsizetype start = end + 1;
        if (n - start < keySize || std::memcmp(data + start, key, size_t(keySize)) != 0) return;
        visit(data + start, lineEnd(data, n, start) - start);
    };
    qsizetype i = 0;
    const int searched = std::min(keySize, 2);
#if defined(TARV_SCAN_AVX2)
    if (keySize >= 1 && keySize <= 4) {
        if (hasAvx512())
            i = keyedBlocks64(data, n, key, searched, hit);
        else if (hasAvx2())
            i = keyedBlocks32(data, n, key, searched, hit);
    }
#endif
#if defined(__SSE2__)
    if (keySize >= 1 && keySize <= 4) {
        const __m128i belowCr = _mm_set1_epi8('\r' + 1);
        __m128i k[4];
        for (int j = 0; j < searched; ++j)
            k[j] = _mm_set1_epi8(key[j]);
        for (; i + 16 + searched <= n; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
            __m128i m = _mm_cmpgt_epi8(belowCr, v);
            for (int j = 0; j < searched; ++j)
                m = _mm_and_si128(
                    m, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + 1 + j)), k[j]));
            for (auto mask = unsigned(_mm_movemask_epi8(m)); mask != 0; mask &= mask - 1)
                hit(i + __builtin_ctz(mask));
        }
    }
#endif
    for (; i < n; ++i)
        if (isLineEnd(data[i])) hit(i);
}

// A record of the usual form, "yymmdd|dddd,ddd" followed by CR LF (a point may stand for the
// comma), as two little-endian words with '0' taken from every byte: the key's digits are bytes
// 0-5 of key, the amount's digits bytes 0-3 and 5-7 of amount, each then a value 0..9.
struct RecordWords {
    quint64 key = 0;
    quint64 amount = 0;
};

// The words of a record whose form is known.
inline RecordWords wordsOf(const char *p) {
    return {qFromLittleEndian<quint64>(p) ^ 0x3030303030303030ULL, qFromLittleEndian<quint64>(p + 7) ^ 0x3030303030303030ULL};
}

// Reads the record at p into w; false for anything but the usual form, which the caller reads
// the long way.
inline bool recordWords(const char *p, qsizetype available, RecordWords &w) {
    if (available < 17) return false;
    w = wordsOf(p);
    // Every byte that must be a digit is checked at once: a digit less '0' is below 10; any
    // other byte sets the top bit of the byte or of its sum with 0x76.
    constexpr quint64 kHigh = 0x8080808080808080ULL;
    constexpr quint64 kKeyDigits = 0x0000808080808080ULL;
    constexpr quint64 kAmountDigits = 0x8080800080808080ULL;
    const quint64 bad = ((w.key | (w.key + 0x7676767676767676ULL)) & kHigh & kKeyDigits) |
                        ((w.amount | (w.amount + 0x7676767676767676ULL)) & kHigh & kAmountDigits);
    // A comma and a point differ from '0' by 0x1C and 0x1E.
    const bool separator = ((w.amount >> 32) & 0xFD) == 0x1C;
    // The bar is checked too: a line end there would split the line in two.
    return (bad == 0) & separator & (p[6] == '|') & (p[15] == '\r') & (p[16] == '\n');
}

// Whether the bytes at p begin with kRunRecords records of the usual form, the form that
// recordWords() takes. The run's 272 bytes are seventeen blocks of sixteen, each compared with
// what the form puts at its places: a digit less '0' is at most 9, the separator (a comma or a
// point, alike once 2 is added to their bits) and the other marks match exactly.
constexpr int kRunRecords = 16;

#if defined(__SSE2__)
struct RunForm {
    __m128i bits[17];
    __m128i expected[17];
    __m128i slack[17];
};

inline const RunForm &runForm() {
    static const RunForm form = [] {
        RunForm f;
        for (int j = 0; j < 17; ++j) {
            alignas(16) quint8 bits[16], expected[16], slack[16];
            for (int b = 0; b < 16; ++b) {
                const int at = (16 * j + b) % 17;
                bits[b] = at == 11 ? 0x02 : 0;
                slack[b] = 0;
                switch (at) {
                case 6: expected[b] = '|'; break;
                case 11: expected[b] = '.'; break;
                case 15: expected[b] = '\r'; break;
                case 16: expected[b] = '\n'; break;
                default:
                    expected[b] = '0';
                    slack[b] = 9;
                }
            }
            f.bits[j] = _mm_load_si128(reinterpret_cast<const __m128i *>(bits));
            f.expected[j] = _mm_load_si128(reinterpret_cast<const __m128i *>(expected));
            f.slack[j] = _mm_load_si128(reinterpret_cast<const __m128i *>(slack));
        }
        return f;
    }();
    return form;
}
#endif

inline bool recordRun(const char *p, qsizetype available) {
#if defined(__SSE2__)
    if (available < 17 * kRunRecords) return false;
    const RunForm &f = runForm();
    __m128i off = _mm_setzero_si128();
    for (int j = 0; j < 17; ++j) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * j));
        const __m128i d = _mm_xor_si128(_mm_or_si128(v, f.bits[j]), f.expected[j]);
        off = _mm_or_si128(off, _mm_subs_epu8(d, f.slack[j]));
    }
    return _mm_movemask_epi8(_mm_cmpeq_epi8(off, _mm_setzero_si128())) == 0xFFFF;
#else
    (void)p;
    (void)available;
    return false;
#endif
}

// The record's key, its six characters as one number that orders as the dates do.
inline quint64 recordKey(const char *p) {
    return qFromBigEndian<quint64>(p) >> 16;
}

// The record's month and day as the number mm * 100 + dd.
inline int monthDay(const RecordWords &w) {
    const quint64 v = (w.key >> 16) & 0xFFFFFFFFULL;
    // Byte 0 becomes mm and byte 2 dd; no byte carries into the next.
    const quint64 t = v * 10 + (v >> 8);
    return int(t & 0xFF) * 100 + int((t >> 16) & 0xFF);
}

// The amount's seven digits, each in its byte, the separator's byte cleared.
inline quint64 amountDigits(const RecordWords &w) {
    return w.amount & 0xFFFFFF00FFFFFFFFULL;
}

// What a record's month and day (mm * 100 + dd) say of it: outside the calendar (and so dated
// before any range), a date of every year, or a day that only some years have or none
// (29 February, 31 April), which needs its year.
enum : quint8 { kOutside = 0, kDated = 1, kCheckYear = 2 };

inline const std::array<quint8, 10000> &dateKinds() {
    static const std::array<quint8, 10000> kinds = [] {
        static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        std::array<quint8, 10000> t{};
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= 31; ++d)
                t[size_t(m * 100 + d)] = d <= kDays[m - 1] ? kDated : kCheckYear;
        return t;
    }();
    return kinds;
}


// The range total reads runs of sixteen usual records without looking at them one by one
// whenever it can: a run whose records are all dated days of every year and all inside the
// range is taken whole, one whose records all lie outside it is passed over whole, and only
// the rest (a range's ends, a day that only some years have, a date outside the calendar) needs
// each record's own look.
constexpr int kRunBytes = 17 * kRunRecords;

// The keys a total takes, first..last both included, as recordKey() gives them.
struct KeySpan {
    qint64 first = 0;
    qint64 last = -1;
};

// The amounts of the runs taken whole. The digits are summed byte by byte at their places in a
// run (byte i of bytes holds the sum of the digits at byte i of every run added since the last
// fold), and only the fold weighs each place by its worth. A digit adds at most 9, so a byte
// holds the sums of 28 runs.
struct RunSums {
    static constexpr int kRunsPerFold = 28;
    alignas(32) quint8 bytes[kRunBytes] = {};
    int pending = 0;
    qint64 thousandths = 0;

    void fold() {
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
};

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
        if (++sums.pending == RunSums::kRunsPerFold) sums.fold();
    }
#else
    (void)data, (void)n, (void)span, (void)sums;
#endif
    return at;
}

#if defined(TARV_SCAN_AVX2)
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

// The worth of sixteen digit sums (each at most 255) at bytes at..at+15 of a run, added to the
// units and thousandths of eight 32-bit lanes.
__attribute__((target("avx2"))) inline void weigh(__m128i sums, int at, __m256i &units, __m256i &thousandths) {
    const RunWeights &w = runWeights();
    const __m256i wide = _mm256_cvtepu8_epi16(sums);
    units = _mm256_add_epi32(units, _mm256_madd_epi16(wide, _mm256_load_si256(reinterpret_cast<const __m256i *>(w.units + at))));
    thousandths = _mm256_add_epi32(
        thousandths, _mm256_madd_epi16(wide, _mm256_load_si256(reinterpret_cast<const __m256i *>(w.thousandths + at))));
}

__attribute__((target("avx2"))) inline qint64 laneSum(__m256i v) {
    alignas(32) qint32 lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i *>(lanes), v);
    qint64 sum = 0;
    for (const qint32 lane : lanes)
        sum += lane;
    return sum;
}

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
    const __m256i monthIndex = _mm256_set1_epi64x(int64_t(0x8080806080808080ULL));
    const __m256i lastDays = _mm256_setr_epi8(0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 0, 0, 0, //
                                              0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 0, 0, 0);
    // Byte 2 less 0x11 is the day less one, 255 for day 0.
    const __m256i dayLess = _mm256_set1_epi64x(0x0000000000110000LL);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ones = _mm256_set1_epi8(-1);

    __m256i acc[8];
    for (int j = 0; j < 8; ++j)
        acc[j] = _mm256_load_si256(reinterpret_cast<const __m256i *>(sums.bytes + 32 * j));
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
            // Each lane sums at most 18 x 2 x 255 x 1000 here, far inside 32 bits.
            __m256i units = zero;
            __m256i thousandths = zero;
            for (int j = 0; j < 8; ++j) {
                weigh(_mm256_castsi256_si128(acc[j]), 32 * j, units, thousandths);
                weigh(_mm256_extracti128_si256(acc[j], 1), 32 * j + 16, units, thousandths);
                acc[j] = zero;
            }
            weigh(acc8, 256, units, thousandths);
            acc8 = _mm_setzero_si128();
            sums.thousandths += laneSum(units) * 1000 + laneSum(thousandths);
            pending = 0;
        }
    }
    for (int j = 0; j < 8; ++j)
        _mm256_store_si256(reinterpret_cast<__m256i *>(sums.bytes + 32 * j), acc[j]);
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
#if defined(TARV_SCAN_AVX2)
    if (hasAvx2()) return usualRuns32(data, n, at, span, sums);
#endif
    return usualRuns16(data, n, at, span, sums);
}

} // namespace tarv::stats::scan
