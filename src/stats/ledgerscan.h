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

} // namespace tarv::stats::scan
