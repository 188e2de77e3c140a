#include "calls/callreport.h"

#include "calls/callrow.h"
#include "calls/reportforms.h"
#include "framework/textformat.h"

#include <QDir>
#include <QFile>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define TARV_CALLS_SSE2
#endif

namespace tarv::calls {

namespace {

// Whether a line has the shape of a row: thirteen fields (commas inside quotes do not count) and a
// state at the end. The csv form copies such lines as they are, which keeps a report over a long
// log close to the cost of reading the file.
// The commas of a line, quoted or not, and whether it holds a quote at all, in one pass over its
// bytes: sixteen at a time on processors with SSE2, as every x86-64 one has.
struct Marks {
    qsizetype commas = 0;
    bool quotes = false;
};

// The number of bits set in the low sixteen of bits.
int bitCount(quint32 bits) {
    bits = bits - ((bits >> 1) & 0x5555);
    bits = (bits & 0x3333) + ((bits >> 2) & 0x3333);
    bits = (bits + (bits >> 4)) & 0x0F0F;
    return int((bits + (bits >> 8)) & 0x1F);
}

Marks marksOf(QByteArrayView line) {
    Marks marks;
    const char *p = line.data();
    const char *const end = p + line.size();
#if defined(TARV_CALLS_SSE2)
    const __m128i comma = _mm_set1_epi8(','), quote = _mm_set1_epi8('"');
    // The commas are added up in each of the sixteen byte lanes, and the lanes summed before one
    // could pass 255.
    while (end - p >= 16) {
        __m128i lanes = _mm_setzero_si128(), quotes = _mm_setzero_si128();
        for (int blocks = 0; blocks < 255 && end - p >= 16; ++blocks, p += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes, comma)); // a match is -1 in its lane
            quotes = _mm_or_si128(quotes, _mm_cmpeq_epi8(bytes, quote));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        marks.commas += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
        marks.quotes = marks.quotes || _mm_movemask_epi8(quotes) != 0;
    }
    if (p < end && line.size() >= 16) {
        // The last bytes: the line's last sixteen, of which those already counted are let go.
        const qsizetype counted = 16 - (end - p);
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(end - 16));
        const quint32 commas = quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, comma))) >> counted;
        const quint32 quotes = quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote))) >> counted;
        marks.commas += bitCount(commas);
        marks.quotes = marks.quotes || quotes != 0;
        p = end;
    }
#endif
    for (; p < end; ++p) {
        marks.commas += *p == ',';
        marks.quotes = marks.quotes || *p == '"';
    }
    return marks;
}

bool endsWith(QByteArrayView text, QByteArrayView end) {
    return text.size() >= end.size() &&
           std::memcmp(text.data() + text.size() - end.size(), end.data(), size_t(end.size())) == 0;
}

bool hasRowShape(QByteArrayView line) {
    const Marks marks = marksOf(line);
    qsizetype commas = marks.commas;
    if (marks.quotes) {
        // Commas inside quotes are part of a field.
        commas = 0;
        bool quoted = false;
        for (const char c : line) {
            if (c == '"')
                quoted = !quoted;
            else if (c == ',' && !quoted)
                ++commas;
        }
        if (quoted) return false;
    }
    return commas == 12 && (endsWith(line, ",finished") || endsWith(line, ",interrupted"));
}

// Whether a line begins with a day as the rows write it, "2001-03-15".
bool hasDay(QByteArrayView line) {
    if (line.size() < 10 || line[4] != '-' || line[7] != '-') return false;
    for (const int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (line[i] < '0' || line[i] > '9') return false;
    return true;
}

// Calls take(line) for each line of csv whose day lies from `from` to `to`; counts in undated the
// lines that name no day (the header aside).
template <typename Take>
void forLinesOfDays(const QByteArray &csv, const QDate &from, const QDate &to, int *undated, Take take) {
    // A row's day is the date its start is written with; ISO dates compare as their bytes do, so
    // lines outside the days are passed over without being read.
    const QByteArray fromText = from.toString(Qt::ISODate).toLatin1();
    const QByteArray toText = to.toString(Qt::ISODate).toLatin1();
    const QByteArray header = csvHeader();
    char lastDay[10];
    bool knownDay = false;
    bool inDays = false;
    qsizetype start = 0;
    while (start < csv.size()) {
        qsizetype end = csv.indexOf('\n', start);
        if (end < 0) end = csv.size();
        QByteArrayView line(csv.constData() + start, end - start);
        start = end + 1;
        if (line.endsWith('\r')) line.chop(1);
        if (!hasDay(line)) {
            if (undated && !line.trimmed().isEmpty() && line != header) ++*undated;
            continue;
        }
        // The rows of a day follow one another: a day like the last line's has the same answer.
        const QByteArrayView day = line.first(10);
        if (!knownDay || std::memcmp(day.data(), lastDay, sizeof lastDay) != 0) {
            std::memcpy(lastDay, day.data(), sizeof lastDay);
            knownDay = true;
            inDays = !(day < fromText || day > toText);
        }
        if (inDays) take(line);
    }
}

} // namespace

void CallTotals::add(const CallRow &row) {
    ++calls;
    seconds += row.seconds();
    units += row.units;
    cost += row.cost;
    received += row.received.value_or(0);
    sent += row.sent.value_or(0);
    if (currency.isEmpty()) currency = row.currency;
}

void CallTotals::add(const RowFields &row) {
    ++calls;
    seconds += row.seconds;
    units += row.units;
    cost += row.cost;
    received += row.received.value_or(0);
    sent += row.sent.value_or(0);
    if (currency.isEmpty()) currency = QString::fromUtf8(row.currency);
}

QString durationText(qint64 seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QList<CallRow> rowsOfDays(const QByteArray &csv, const QDate &from, const QDate &to, int *skipped) {
    QList<CallRow> rows;
    int bad = 0;
    CsvReader reader;
    forLinesOfDays(csv, from, to, &bad, [&](QByteArrayView line) {
        if (std::optional<CallRow> row = reader.read(line))
            rows.append(std::move(*row));
        else
            ++bad;
    });
    if (skipped) *skipped = bad;
    return rows;
}

QByteArray csvOfRows(const QList<CallRow> &rows) {
    QByteArray out = csvHeader() + '\n';
    for (const CallRow &row : rows)
        out += csvLine(row) + '\n';
    return out;
}

std::pair<QDate, QDate> requestDays(const stats::ReportRequest &r) {
    switch (r.kind) {
    case stats::ReportRequest::Kind::Year:
        return {QDate(r.year, 1, 1), QDate(r.year, 12, 31)};
    case stats::ReportRequest::Kind::Month: {
        const QDate first(r.year, r.month, 1);
        return {first, first.addDays(first.daysInMonth() - 1)};
    }
    case stats::ReportRequest::Kind::Range:
        return {r.from, r.to};
    }
    return {};
}

QByteArray formatCallsReport(const QByteArray &csv, const stats::ReportRequest &request, const QLocale &locale) {
    const auto [from, to] = requestDays(request);
    if (request.format == stats::ReportFormat::Csv) {
        // Lines of the row's shape are copied as they are, which keeps a report over a long log
        // close to the cost of reading the file. Lines that follow one another in the file, each
        // with its LF, are copied as one run; a report that is the whole file, as one of all the
        // log's days of a log that is in order is, shares the file's bytes and copies nothing.
        const QByteArray header = csvHeader() + '\n';
        QByteArray out;
        bool copying = false;
        qsizetype runBegin = 0, runEnd = 0;
        if (!csv.startsWith(header)) {
            out.reserve(csv.size() + header.size());
            out.append(header);
            copying = true;
        } else {
            runEnd = header.size();
        }
        const auto flush = [&] {
            if (!copying) out.reserve(csv.size() + header.size());
            copying = true;
            out.append(csv.constData() + runBegin, runEnd - runBegin);
            runBegin = runEnd = 0;
        };
        forLinesOfDays(csv, from, to, nullptr, [&](QByteArrayView line) {
            if (!hasRowShape(line)) return;
            const qsizetype begin = line.data() - csv.constData();
            const qsizetype end = begin + line.size();
            if (end < csv.size() && csv[end] == '\n') {
                // The line and its LF as they stand in the file.
                if (begin != runEnd) {
                    flush();
                    runBegin = begin;
                }
                runEnd = end + 1;
            } else {
                flush();
                out.append(line.data(), line.size()).append('\n');
            }
        });
        if (!copying && runBegin == 0 && runEnd == csv.size()) return csv;
        flush();
        return out;
    }
    // The rows are written as they are read, with no CallRow made of them.
    const std::unique_ptr<ReportForm> form =
        request.format == stats::ReportFormat::Json ? jsonForm(from, to, csv.size()) : textForm(locale, csv.size());
    FieldReader reader;
    RowFields row;
    forLinesOfDays(csv, from, to, nullptr, [&](QByteArrayView line) {
        if (reader.read(line, row)) form->add(row);
    });
    return form->finish();
}

QByteArray callsReport(const QString &folder, const stats::ReportRequest &request, const QLocale &locale) {
    QFile file(QDir(folder).filePath(QStringLiteral("calls.csv")));
    QByteArray bytes;
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            throw stats::ELedgerError(QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()));
        bytes = file.readAll();
    }
    return formatCallsReport(bytes, request, locale);
}

} // namespace tarv::calls
