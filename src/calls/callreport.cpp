#include "calls/callreport.h"

#include "calls/callrow.h"
#include "framework/textformat.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define TARV_CALLS_SSE2
#endif

namespace tarv::calls {

namespace {

// The report's UTF-8 text, written into one buffer that grows by doubling. Pieces are copied in by
// hand: QByteArray's append goes through its general insertion, which a report of a million small
// pieces notices.
class Utf8Out {
public:
    explicit Utf8Out(qsizetype expected) { m_bytes.resize(std::max<qsizetype>(expected, 256)); }

    // Room for n more bytes at the end; advance() then says how many were written.
    char *room(qsizetype n) {
        if (m_size + n > m_bytes.size()) m_bytes.resize(std::max(m_bytes.size() * 2, m_size + n));
        return m_bytes.data() + m_size;
    }
    void advance(const char *end) { m_size = end - m_bytes.constData(); }

    void put(QByteArrayView text) {
        if (text.isEmpty()) return;
        std::memcpy(room(text.size()), text.data(), size_t(text.size()));
        m_size += text.size();
    }
    void put(char c) {
        *room(1) = c;
        ++m_size;
    }
    void fill(qsizetype n, char c) {
        if (n <= 0) return;
        std::memset(room(n), c, size_t(n));
        m_size += n;
    }
    template <typename Integer> void putNumber(Integer n) {
        char *at = room(24);
        advance(std::to_chars(at, at + 24, n).ptr);
    }

    qsizetype size() const { return m_size; }
    const char *data() const { return m_bytes.constData(); }
    QByteArrayView slice(qsizetype at, qsizetype n) const { return {m_bytes.constData() + at, n}; }
    void truncate(qsizetype n) { m_size = std::min(m_size, n); }
    QByteArray take() {
        m_bytes.truncate(m_size);
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    qsizetype m_size = 0;
};

// A number as plainNumber writes it, at out (room for 32 bytes), or nullptr when it is not one the
// shortcut below takes. plainNumber rounds to fifteen significant digits and writes them without
// an exponent from 0.0001 to below 1e15. The shortest text that reads back as the same double is
// what plainNumber writes whenever that text has fifteen digits or fewer: fifteen-digit decimals
// lie further apart than doubles there, so the one nearest the double is that text. Other
// numbers, and those that would take an exponent, are left to plainNumber.
char *writePlainNumber(double value, char *out) {
    if (value == 0) { // including -0, which plainNumber writes as "0"
        *out = '0';
        return out + 1;
    }
    const double size = std::fabs(value);
    if (!(size >= 1e-5 && size < 1e15)) return nullptr;
    char text[64];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (r.ec != std::errc()) return nullptr;
    const char *p = text[0] == '-' ? text + 1 : text;
    int significant = 0, wholeDigits = 0, zerosAfterPoint = 0;
    bool leading = true, fraction = false;
    for (; p < r.ptr; ++p) {
        if (*p == '.') {
            fraction = true;
            continue;
        }
        if (!fraction) ++wholeDigits;
        if (leading && *p == '0') {
            if (fraction) ++zerosAfterPoint;
            continue;
        }
        leading = false;
        ++significant;
    }
    const bool belowOne = text[text[0] == '-' ? 1 : 0] == '0';
    if (significant > 15 || wholeDigits > 15 || (belowOne && zerosAfterPoint > 3)) return nullptr;
    const qsizetype n = r.ptr - text;
    if (n > 32) return nullptr;
    std::memcpy(out, text, size_t(n));
    return out + n;
}

void putPlainNumber(Utf8Out &out, double value) {
    char *at = out.room(32);
    if (char *end = writePlainNumber(value, at))
        out.advance(end);
    else
        out.put(stats::plainNumber(value).toLatin1());
}

// Costs in the text form as fmt::general writes them in the report's locale. Where the locale
// writes ASCII digits, that is plainNumber's text with the locale's decimal point and minus sign,
// which are learnt once here rather than from a copy of the locale made for every row.
class LocaleCosts {
public:
    explicit LocaleCosts(const QLocale &locale)
        : m_locale(locale), m_zero(fmt::general(0, locale)), m_point(locale.decimalPoint()),
          m_minus(locale.negativeSign()), m_pointBytes(m_point.toUtf8()), m_minusBytes(m_minus.toUtf8()),
          m_asciiDigits(locale.zeroDigit() == QLatin1String("0")) {}

    // Writes the cost and returns its width in characters.
    qsizetype put(Utf8Out &out, double value) const {
        if (value == 0) return put(out, m_zero);
        char plain[32];
        const char *end = m_asciiDigits ? writePlainNumber(value, plain) : nullptr;
        if (!end) return put(out, fmt::general(value, m_locale));
        qsizetype width = 0;
        for (const char *p = plain; p < end; ++p) {
            if (*p == '.') {
                out.put(m_pointBytes);
                width += m_point.size();
            } else if (*p == '-') {
                out.put(m_minusBytes);
                width += m_minus.size();
            } else {
                out.put(*p);
                ++width;
            }
        }
        return width;
    }

private:
    static qsizetype put(Utf8Out &out, const QString &text) {
        out.put(text.toUtf8());
        return text.size();
    }

    QLocale m_locale;
    QString m_zero, m_point, m_minus;
    QByteArray m_pointBytes, m_minusBytes;
    bool m_asciiDigits;
};

// A text as stats::jsonString writes it, in UTF-8: quotes, backslashes and control characters
// escaped, everything else as it is.
QByteArray jsonText(const QString &text) {
    static constexpr char kHex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            const char escape[] = {'\\', 'u', '0', '0', kHex[u >> 4], kHex[u & 15]};
            out.append(escape, sizeof escape);
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

// The UTF-8 form of the text of the row before, kept while rows repeat it, as the rows of a log
// nearly always repeat their provider, device and currency.
class LastText {
public:
    explicit LastText(QByteArray (*convert)(const QString &)) : m_convert(convert) {}
    const QByteArray &of(const QString &text) {
        if (!m_known || text != m_text) {
            m_text = text;
            m_bytes = m_convert(text);
            m_known = true;
        }
        return m_bytes;
    }

private:
    QByteArray (*m_convert)(const QString &);
    QString m_text;
    QByteArray m_bytes;
    bool m_known = false;
};

QByteArray utf8Of(const QString &text) {
    return text.toUtf8();
}

// durationText's text, for a length that is not negative.
void putDuration(Utf8Out &out, qint64 seconds) {
    if (seconds < 0) {
        out.put(durationText(seconds).toLatin1());
        return;
    }
    out.putNumber(seconds / 3600);
    char *at = out.room(6);
    const int minutes = int(seconds / 60 % 60), rest = int(seconds % 60);
    const char text[] = {':', char('0' + minutes / 10), char('0' + minutes % 10),
                         ':', char('0' + rest / 10),    char('0' + rest % 10)};
    std::memcpy(at, text, sizeof text);
    out.advance(at + sizeof text);
}

void putCount(Utf8Out &out, const std::optional<quint64> &n, QByteArrayView unknown) {
    if (n)
        out.putNumber(*n);
    else
        out.put(unknown);
}

QByteArray textReport(const QList<CallRow> &rows, const CallTotals &t, const QLocale &locale) {
    constexpr int kCells = 7;
    // Each line's cells are written once, one after another, and measured in characters as they
    // are; the table is laid out when every width is known.
    struct Line {
        qsizetype at = 0;
        std::array<qsizetype, kCells> bytes{};
        std::array<qsizetype, kCells> width{};
    };
    Utf8Out cells(96 * (rows.size() + 2));
    std::vector<Line> lines;
    lines.reserve(size_t(rows.size()) + 2);
    Line *line = nullptr;
    int cell = 0;
    qsizetype cellAt = 0;
    const auto begin = [&] {
        line = &lines.emplace_back();
        line->at = cells.size();
        cell = 0;
        cellAt = cells.size();
    };
    const auto end = [&](qsizetype width) {
        line->bytes[cell] = cells.size() - cellAt;
        line->width[cell] = width;
        ++cell;
        cellAt = cells.size();
    };
    // A cell of ASCII: as wide as it has bytes.
    const auto endAscii = [&] { end(cells.size() - cellAt); };
    const auto text = [&](const QString &s) {
        cells.put(s.toUtf8());
        end(s.size());
    };

    const QString finished = QStringLiteral("ολοκληρώθηκε");
    const QString interrupted = QStringLiteral("διακόπηκε");
    const QByteArray finishedBytes = finished.toUtf8(), interruptedBytes = interrupted.toUtf8();
    const LocaleCosts costs(locale);
    LastText currency(utf8Of);
    const auto costCell = [&](double cost, const QString &unit) {
        const qsizetype width = costs.put(cells, cost);
        cells.put(' ');
        cells.put(currency.of(unit));
        end(width + 1 + unit.size());
    };

    begin();
    for (const QString &head : {QStringLiteral("Έναρξη"), QStringLiteral("Διάρκεια"), QStringLiteral("Μονάδες"),
                                QStringLiteral("Κόστος"), QStringLiteral("Λήψη"), QStringLiteral("Αποστολή"),
                                QStringLiteral("Κατάσταση")})
        text(head);
    for (const CallRow &r : rows) {
        begin();
        // The start as "2001-03-15 10:00:00": the date and the time of isoLocal's text.
        char iso[kIsoLocalRoom];
        const qsizetype isoSize = writeIsoLocal(r.start, iso) - iso;
        cells.put(QByteArrayView(iso, std::min<qsizetype>(isoSize, 10)));
        cells.put(' ');
        if (isoSize > 11) cells.put(QByteArrayView(iso + 11, std::min<qsizetype>(isoSize - 11, 8)));
        endAscii();
        putDuration(cells, r.seconds());
        endAscii();
        cells.putNumber(r.units);
        endAscii();
        costCell(r.cost, r.currency);
        putCount(cells, r.received, "-");
        endAscii();
        putCount(cells, r.sent, "-");
        endAscii();
        const bool done = r.state == CallRow::State::Finished;
        cells.put(done ? finishedBytes : interruptedBytes);
        end(done ? finished.size() : interrupted.size());
    }
    begin();
    text(QStringLiteral("Σύνολο"));
    putDuration(cells, t.seconds);
    endAscii();
    cells.putNumber(t.units);
    endAscii();
    costCell(t.cost, t.currency);
    cells.putNumber(t.received);
    endAscii();
    cells.putNumber(t.sent);
    endAscii();
    end(0);

    std::array<qsizetype, kCells> widths{};
    qsizetype cellsWidth = 0;
    for (const Line &l : lines)
        for (int i = 0; i < kCells; ++i) {
            widths[i] = std::max(widths[i], l.width[i]);
            cellsWidth += l.width[i];
        }
    // Every line is as wide as the table, and holds more bytes than characters where its cells do:
    // the report is never longer than that, and is written without growing its buffer.
    const qsizetype tableWidth = std::accumulate(widths.begin(), widths.end(), qsizetype(2 * (kCells - 1) + 1));
    Utf8Out out(tableWidth * qsizetype(lines.size()) + cells.size() - cellsWidth);
    for (const Line &l : lines) {
        const qsizetype start = out.size();
        qsizetype at = l.at;
        // The start and the state read from the left; the figures line up on the right.
        for (int i = 0; i < kCells; ++i) {
            if (i > 0) out.fill(2, ' ');
            const qsizetype pad = widths[i] - l.width[i];
            const QByteArrayView content = cells.slice(at, l.bytes[i]);
            at += l.bytes[i];
            if (i == 0 || i == kCells - 1) {
                out.put(content);
                out.fill(pad, ' ');
            } else {
                out.fill(pad, ' ');
                out.put(content);
            }
        }
        // No blanks at the line's end.
        qsizetype end = out.size();
        while (end > start && out.data()[end - 1] == ' ') --end;
        out.truncate(end);
        out.put('\n');
    }
    return out.take();
}

QByteArray jsonReport(const QList<CallRow> &rows, const CallTotals &t, const QDate &from, const QDate &to) {
    // Written piece by piece: a name or currency is text, never a place for a later figure.
    Utf8Out out(320 * (rows.size() + 1));
    out.put("{\"from\":\"");
    out.put(from.toString(Qt::ISODate).toLatin1());
    out.put("\",\"to\":\"");
    out.put(to.toString(Qt::ISODate).toLatin1());
    out.put("\",\"calls\":[");
    LastText currency(jsonText), name(jsonText), device(jsonText);
    bool first = true;
    for (const CallRow &r : rows) {
        if (!first) out.put(',');
        first = false;
        out.put("{\"start\":\"");
        out.advance(writeIsoLocal(r.start, out.room(kIsoLocalRoom)));
        out.put("\",\"end\":\"");
        out.advance(writeIsoLocal(r.end, out.room(kIsoLocalRoom)));
        out.put("\",\"seconds\":");
        out.putNumber(r.seconds());
        out.put(",\"units\":");
        out.putNumber(r.units);
        out.put(",\"cost\":");
        putPlainNumber(out, r.cost);
        out.put(",\"currency\":");
        out.put(currency.of(r.currency));
        out.put(",\"units_a\":");
        out.putNumber(r.unitsA);
        out.put(",\"units_b\":");
        out.putNumber(r.unitsB);
        out.put(",\"name\":");
        out.put(name.of(r.name));
        out.put(",\"device\":");
        out.put(device.of(r.deviceType));
        out.put(",\"bytes_received\":");
        putCount(out, r.received, "null");
        out.put(",\"bytes_sent\":");
        putCount(out, r.sent, "null");
        out.put(r.state == CallRow::State::Finished ? QByteArrayView(",\"state\":\"finished\"}")
                                                    : QByteArrayView(",\"state\":\"interrupted\"}"));
    }
    out.put("],\"total\":{\"seconds\":");
    out.putNumber(t.seconds);
    out.put(",\"units\":");
    out.putNumber(t.units);
    out.put(",\"cost\":");
    putPlainNumber(out, t.cost);
    out.put(",\"currency\":");
    out.put(jsonText(t.currency));
    out.put(",\"bytes_received\":");
    out.putNumber(t.received);
    out.put(",\"bytes_sent\":");
    out.putNumber(t.sent);
    out.put("}}\n");
    return out.take();
}

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
    const QList<CallRow> rows = rowsOfDays(csv, from, to);
    CallTotals totals;
    for (const CallRow &row : rows) totals.add(row);
    if (request.format == stats::ReportFormat::Json) return jsonReport(rows, totals, from, to);
    return textReport(rows, totals, locale);
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
