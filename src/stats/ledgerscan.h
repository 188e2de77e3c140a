#pragma once

// The loops under the statistics readers. A ledger of a hundred thousand records is read whole
// for every view, so these find line ends and record keys sixteen bytes at a time where the
// processor allows and never build a text for a record of the usual form.

#include <QtEndian>
#include <QtGlobal>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
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
// it stopped.
template <typename Hit>
__attribute__((target("avx2"))) qsizetype keyedBlocks32(const char *data, qsizetype n, const char *key, int keySize, Hit &hit) {
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    __m256i k[4];
    for (int j = 0; j < keySize; ++j)
        k[j] = _mm256_set1_epi8(key[j]);
    qsizetype i = 0;
    for (; i + 32 + keySize <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i));
        __m256i m = _mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf));
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
#endif

// Calls visit(data, size) for every line after the first that begins with key (of one to
// four bytes). Only the places where a line end is followed by the key are looked at.
template <typename Visit> void keyedLines(const char *data, qsizetype n, const char *key, int keySize, Visit &&visit) {
    const auto hit = [&](qsizetype end) {
        // end is a line end; a line follows it unless it is the CR of a CR LF, whose LF cannot
        // match a key of digits.
        const qsizetype start = end + 1;
        if (n - start < keySize || std::memcmp(data + start, key, size_t(keySize)) != 0) return;
        visit(data + start, lineEnd(data, n, start) - start);
    };
    qsizetype i = 0;
#if defined(TARV_SCAN_AVX2)
    if (keySize >= 1 && keySize <= 4 && hasAvx2()) i = keyedBlocks32(data, n, key, keySize, hit);
#endif
#if defined(__SSE2__)
    if (keySize >= 1 && keySize <= 4) {
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i lf = _mm_set1_epi8('\n');
        __m128i k[4];
        for (int j = 0; j < keySize; ++j)
            k[j] = _mm_set1_epi8(key[j]);
        for (; i + 16 + keySize <= n; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
            __m128i m = _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf));
            for (int j = 0; j < keySize; ++j)
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

// Reads a record of the usual form at p, "yymmdd|dddd,ddd" followed by CR LF: its key, the
// six key characters as one number that orders as the dates do, its month and day, and its
// amount in thousandths. False for anything else, which the caller reads the long way.
struct PlainRecord {
    quint64 key = 0;
    int mm = 0;
    int dd = 0;
    qint64 thousandths = 0;
};

inline bool plainRecord(const char *p, qsizetype available, PlainRecord &r) {
    if (available < 17 || p[16] != '\n' || p[15] != '\r' || (p[11] != ',' && p[11] != '.')) return false;
    // Sixteen bytes as two words: every byte that must be a digit is checked at once. A digit
    // minus '0' is below 10; any other byte sets the top bit of the byte or of its sum with 0x76.
    quint64 a, b;
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p + 7, 8);
    constexpr quint64 kZeros = 0x3030303030303030ULL;
    constexpr quint64 kHigh = 0x8080808080808080ULL;
    constexpr quint64 kKeyDigits = 0x0000808080808080ULL; // bytes 0-5 (in little-endian order)
    constexpr quint64 kAmountDigits = 0x8080800080808080ULL; // bytes 7-10 and 12-14
    const quint64 xa = a ^ kZeros;
    const quint64 xb = b ^ kZeros;
    if (((xa | (xa + 0x7676767676767676ULL)) & kHigh & kKeyDigits) != 0) return false;
    if (((xb | (xb + 0x7676767676767676ULL)) & kHigh & kAmountDigits) != 0) return false;
    r.key = qFromBigEndian<quint64>(p) >> 16;
    r.mm = (p[2] - '0') * 10 + (p[3] - '0');
    r.dd = (p[4] - '0') * 10 + (p[5] - '0');
    // The seven amount digits behind a leading '0', without the separator, as one eight-digit
    // number read in three multiplications.
    quint64 v = ((b & 0xFFFFFFFFULL) << 8) | (b & 0xFFFFFF0000000000ULL) | 0x30;
    v = ((v & 0x0F0F0F0F0F0F0F0FULL) * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FFULL) * 6553601) >> 16;
    r.thousandths = qint64(((v & 0x0000FFFF0000FFFFULL) * 42949672960001ULL) >> 32);
    return true;
}

} // namespace tarv::stats::scan
