#include "calls/callreport.h"

#include "calls/callrow.h"
#include "framework/textformat.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <vector>

namespace tarv::calls {

namespace {

// One row's values as the report writes them, in UTF-8: texts ready to copy and the figures the
// totals need. Rows the log wrote itself are read straight from their bytes (fastCells); any
// other row that still reads goes through CallRow (slowCells) to the same texts.
// The texts are views, into the log's bytes or into keep, and last until the next row is read.
struct Cells {
    QByteArrayView start; // "2001-03-15T10:00:00+02:00"
    QByteArrayView end;
    QByteArrayView units, unitsA, unitsB;
    QByteArrayView cost; // as plainNumber writes it
    QByteArrayView currency, name, device; // the fields' text, unquoted
    QByteArrayView received, sent;         // empty: not known
    qint64 seconds = 0;
    int unitsValue = 0;
    double costValue = 0;
    quint64 receivedValue = 0, sentValue = 0;
    bool finished = true;
    std::vector<QByteArray> keep;
};

struct Totals {
    qint64 seconds = 0;
    int units = 0;
    double cost = 0;
    quint64 received = 0;
    quint64 sent = 0;
    QByteArray currency;

    void add(const Cells &row) {
        seconds += row.seconds;
        units += row.unitsValue;
        cost += row.costValue;
        received += row.receivedValue;
        sent += row.sentValue;
        if (currency.isEmpty()) currency = row.currency.toByteArray();
    }
};

// A growing UTF-8 text. QByteArray's append goes through its general insert, which a table of
// many short cells notices.
class Bytes {
public:
    void put(QByteArrayView text) {
        char *at = room(text.size());
        if (!text.isEmpty()) std::memcpy(at, text.data(), text.size());
        m_size += text.size();
    }
    void put(char c) {
        *room(1) = c;
        ++m_size;
    }
    qsizetype size() const { return m_size; }
    QByteArrayView view() const { return {m_data.constData(), m_size}; }

private:
    char *room(qsizetype n) {
        if (m_size + n > m_data.size()) m_data.resize(std::max(m_data.size() * 2, m_size + n + 4096));
        return m_data.data() + m_size;
    }
    QByteArray m_data;
    qsizetype m_size = 0;
};

// The report's text, written as UTF-16 from UTF-8 pieces, without a UTF-8 copy of the whole
// report on the way. The pieces are valid UTF-8: the log's fields are checked before they get
// here and everything else comes from QString or this file.
class Text {
public:
    void put(QByteArrayView utf8) {
        // A piece never takes more UTF-16 units than it has bytes.
        char16_t *out = room(utf8.size());
        const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
        const auto *end = p + utf8.size();
        while (p < end) {
            // Sixteen bytes at a time while they are ASCII, which the compiler turns into vector code.
            while (end - p >= 16) {
                unsigned high = 0;
                for (int i = 0; i < 16; ++i) high |= p[i];
                if (high & 0x80) break;
                for (int i = 0; i < 16; ++i) out[i] = p[i];
                p += 16;
                out += 16;
            }
            if (p == end) break;
            const unsigned c = *p++;
            if (c < 0x80) {
                *out++ = char16_t(c);
                continue;
            }
            const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
            unsigned cp = c & (0x3F >> more);
            for (int i = 0; i < more && p < end; ++i) cp = (cp << 6) | (*p++ & 0x3F);
            if (cp >= 0x10000) {
                cp -= 0x10000;
                *out++ = char16_t(0xD800 + (cp >> 10));
                *out++ = char16_t(0xDC00 + (cp & 0x3FF));
            } else {
                *out++ = char16_t(cp);
            }
        }
        m_size = out - base();
    }
    void put(char c) { put(QByteArrayView(&c, 1)); }
    void putNumber(quint64 n) {
        char digits[20];
        put(QByteArrayView(digits, std::to_chars(digits, digits + 20, n).ptr - digits));
    }
    void fill(qsizetype n, char16_t c) {
        if (n <= 0) return;
        std::fill_n(room(n), n, c);
        m_size += n;
    }
    qsizetype size() const { return m_size; }
    char16_t at(qsizetype i) const { return m_text.at(i).unicode(); }
    void truncate(qsizetype n) { m_size = std::min(m_size, n); }
    QString take() {
        m_text.resize(m_size);
        return std::move(m_text);
    }

private:
    char16_t *base() { return reinterpret_cast<char16_t *>(m_text.data()); }
    char16_t *room(qsizetype n) {
        if (m_size + n > m_text.size()) m_text.resize(std::max(m_text.size() * 2, m_size + n + 4096));
        return base() + m_size;
    }
    QString m_text;
    qsizetype m_size = 0;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int number(QByteArrayView t, qsizetype at, qsizetype n) {
    int v = 0;
    for (qsizetype i = at; i < at + n; ++i) v = v * 10 + (t[i] - '0');
    return v;
}

// Seconds since the epoch of a time in the form isoLocal writes, when it is in that form exactly
// as isoLocal would write it again (so that copying it changes nothing).
std::optional<qint64> canonicalTime(QByteArrayView t) {
    // The rows of a day follow one another: the last date's day number is kept.
    static thread_local char lastDate[10] = {};
    static thread_local qint64 lastDay = 0;
    static constexpr char shape[] = "dddd-dd-ddTdd:dd:dd+dd:dd";
    if (t.size() != 25) return std::nullopt;
    for (int i = 0; i < 25; ++i) {
        if (shape[i] == 'd' ? !isDigit(t[i]) : i == 19 ? (t[i] != '+' && t[i] != '-') : t[i] != shape[i])
            return std::nullopt;
    }
    const int y = number(t, 0, 4), mo = number(t, 5, 2), d = number(t, 8, 2);
    const int h = number(t, 11, 2), mi = number(t, 14, 2), sec = number(t, 17, 2);
    const int oh = number(t, 20, 2), om = number(t, 23, 2);
    const int offset = (oh * 60 + om) * 60;
    if (h > 23 || mi > 59 || sec > 59 || oh > 14 || om > 59 || offset > 14 * 3600 || (t[19] == '-' && offset == 0))
        return std::nullopt;
    if (std::memcmp(lastDate, t.data(), 10) != 0) {
        if (!QDate::isValid(y, mo, d)) return std::nullopt;
        lastDay = QDate(y, mo, d).toJulianDay();
        std::memcpy(lastDate, t.data(), 10);
    }
    return lastDay * 86400 + h * 3600 + mi * 60 + sec - (t[19] == '-' ? -offset : offset);
}

// A whole number as QString::number writes it; at most maxDigits digits.
bool canonicalInteger(QByteArrayView t, int maxDigits, bool negativeAllowed) {
    const bool negative = negativeAllowed && t.startsWith('-');
    if (negative) t = t.sliced(1);
    if (t.isEmpty() || t.size() > maxDigits || !std::all_of(t.begin(), t.end(), isDigit)) return false;
    return t[0] != '0' || (t.size() == 1 && !negative);
}

// The value of a whole number canonicalInteger accepted.
qint64 integerValue(QByteArrayView t) {
    const bool negative = t.startsWith('-');
    quint64 v = 0;
    for (const char c : negative ? t.sliced(1) : t) v = v * 10 + quint64(c - '0');
    return negative ? -qint64(v) : qint64(v);
}

// A cost as plainNumber writes it: up to 15 significant digits, no exponent, no needless zeros.
bool canonicalCost(QByteArrayView t) {
    const qsizetype dot = t.indexOf('.');
    const QByteArrayView whole = dot < 0 ? t : t.first(dot);
    const QByteArrayView fraction = dot < 0 ? QByteArrayView() : t.sliced(dot + 1);
    if (whole.isEmpty() || (whole.size() > 1 && whole[0] == '0') || !std::all_of(whole.begin(), whole.end(), isDigit))
        return false;
    if (dot >= 0 && (fraction.isEmpty() || fraction.endsWith('0') ||
                     !std::all_of(fraction.begin(), fraction.end(), isDigit)))
        return false;
    qsizetype significant = whole == "0" ? 0 : whole.size();
    qsizetype leadingZeros = 0;
    if (whole == "0")
        while (leadingZeros < fraction.size() && fraction[leadingZeros] == '0') ++leadingZeros;
    significant += fraction.size() - leadingZeros;
    // Below 0.0001 plainNumber switches to an exponent.
    return significant <= 15 && leadingZeros <= 3;
}

// The value of a cost canonicalCost accepted: its digits as a whole number, exact in a double at
// 15 digits, divided by an exact power of ten, which rounds once, as reading the text does.
double costValue(QByteArrayView t) {
    static constexpr double powers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10,
                                        1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
    quint64 digits = 0;
    int decimals = 0;
    bool fraction = false;
    for (const char c : t) {
        if (c == '.') {
            fraction = true;
            continue;
        }
        digits = digits * 10 + quint64(c - '0');
        decimals += fraction;
    }
    return double(digits) / powers[decimals];
}

// Valid UTF-8 without the noncharacters, whose conversion the fast path does not take for granted.
bool plainUtf8(QByteArrayView t) {
    const auto *p = reinterpret_cast<const unsigned char *>(t.data());
    const auto *e = p + t.size();
    while (p < e) {
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : -1;
        if (n < 0 || c > 0xF4 || e - p <= n) return false;
        unsigned cp = c & (0x3F >> n);
        for (int i = 1; i <= n; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF) ||
            (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE)
            return false;
        p += n + 1;
    }
    return true;
}

// Splits a line into its fields as splitCsv does (a quote anywhere starts or ends quoting; two
// quotes inside quoting are one), on the bytes: quotes and commas never occur inside a UTF-8
// sequence. Fields without quotes are views into the line; the others are unquoted into store.
bool splitFields(QByteArrayView line, std::array<QByteArrayView, 13> &fields, std::array<QByteArray, 13> &store) {
    int index = 0;
    qsizetype begin = 0;
    bool quoted = false, hadQuote = false;
    const auto finish = [&](qsizetype end) {
        if (index >= 13) return false;
        if (!hadQuote) {
            fields[index] = line.sliced(begin, end - begin);
        } else {
            QByteArray &out = store[index];
            out.clear();
            bool q = false;
            for (qsizetype i = begin; i < end; ++i) {
                const char c = line[i];
                if (q && c == '"' && i + 1 < end && line[i + 1] == '"') {
                    out += '"';
                    ++i;
                } else if (c == '"') {
                    q = !q;
                } else {
                    out += c;
                }
            }
            fields[index] = out;
        }
        ++index;
        return true;
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"')
                    ++i;
                else
                    quoted = false;
            }
        } else if (c == '"') {
            quoted = hadQuote = true;
        } else if (c == ',') {
            if (!finish(i)) return false;
            begin = i + 1;
            hadQuote = false;
        }
    }
    return !quoted && finish(line.size()) && index == 13;
}

// A row the log wrote itself, read without building its dates or strings; nothing for any row
// that is not in exactly the form csvLine writes.
std::optional<Cells> fastCells(QByteArrayView line) {
    std::array<QByteArrayView, 13> f;
    static thread_local std::array<QByteArray, 13> store;
    if (!splitFields(line, f, store)) return std::nullopt;
    const std::optional<qint64> start = canonicalTime(f[0]);
    const std::optional<qint64> end = canonicalTime(f[1]);
    if (!start || !end || !canonicalInteger(f[3], 9, true) || !canonicalInteger(f[6], 9, true) ||
        !canonicalInteger(f[7], 9, true) || !canonicalCost(f[4]) ||
        !(f[10].isEmpty() || canonicalInteger(f[10], 19, false)) ||
        !(f[11].isEmpty() || canonicalInteger(f[11], 19, false)) || !plainUtf8(f[5]) || !plainUtf8(f[8]) ||
        !plainUtf8(f[9]) || (f[12] != "finished" && f[12] != "interrupted"))
        return std::nullopt;
    Cells c;
    c.start = f[0];
    c.end = f[1];
    c.seconds = std::max<qint64>(0, *end - *start);
    c.units = f[3];
    c.unitsA = f[6];
    c.unitsB = f[7];
    c.unitsValue = int(integerValue(f[3]));
    c.cost = f[4];
    c.costValue = costValue(f[4]);
    c.currency = f[5];
    c.name = f[8];
    c.device = f[9];
    c.received = f[10];
    c.sent = f[11];
    c.receivedValue = quint64(integerValue(f[10]));
    c.sentValue = quint64(integerValue(f[11]));
    c.finished = f[12] == "finished";
    return c;
}

Cells slowCells(const CallRow &r) {
    Cells c;
    c.keep.reserve(11);
    const auto keep = [&](QByteArray text) { return QByteArrayView(c.keep.emplace_back(std::move(text))); };
    c.start = keep(isoLocal(r.start).toUtf8());
    c.end = keep(isoLocal(r.end).toUtf8());
    c.seconds = r.seconds();
    c.units = keep(QByteArray::number(r.units));
    c.unitsA = keep(QByteArray::number(r.unitsA));
    c.unitsB = keep(QByteArray::number(r.unitsB));
    c.unitsValue = r.units;
    c.cost = keep(stats::plainNumber(r.cost).toUtf8());
    c.costValue = r.cost;
    c.currency = keep(r.currency.toUtf8());
    c.name = keep(r.name.toUtf8());
    c.device = keep(r.deviceType.toUtf8());
    if (r.received) c.received = keep(QByteArray::number(*r.received));
    if (r.sent) c.sent = keep(QByteArray::number(*r.sent));
    c.receivedValue = r.received.value_or(0);
    c.sentValue = r.sent.value_or(0);
    c.finished = r.state == CallRow::State::Finished;
    return c;
}

// A JSON string: quotes, backslashes and control characters escaped, everything else as it is.
void putJsonString(Text &out, QByteArrayView text) {
    static constexpr char hex[] = "0123456789abcdef";
    out.put('"');
    qsizetype plain = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.put(text.sliced(plain, i - plain));
        plain = i + 1;
        if (c < 0x20) {
            const char escape[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            out.put(QByteArrayView(escape, sizeof escape));
        } else {
            out.put('\\');
            out.put(char(c));
        }
    }
    out.put(text.sliced(plain));
    out.put('"');
}

void putCount(Text &out, QByteArrayView n) {
    out.put(n.isEmpty() ? QByteArrayView("null") : n);
}

void putJsonRow(Text &out, const Cells &r) {
    out.put("{\"start\":\"");
    out.put(r.start);
    out.put("\",\"end\":\"");
    out.put(r.end);
    out.put("\",\"seconds\":");
    out.putNumber(quint64(r.seconds));
    out.put(",\"units\":");
    out.put(r.units);
    out.put(",\"cost\":");
    out.put(r.cost);
    out.put(",\"currency\":");
    putJsonString(out, r.currency);
    out.put(",\"units_a\":");
    out.put(r.unitsA);
    out.put(",\"units_b\":");
    out.put(r.unitsB);
    out.put(",\"name\":");
    putJsonString(out, r.name);
    out.put(",\"device\":");
    putJsonString(out, r.device);
    out.put(",\"bytes_received\":");
    putCount(out, r.received);
    out.put(",\"bytes_sent\":");
    putCount(out, r.sent);
    out.put(r.finished ? QByteArrayView(",\"state\":\"finished\"}") : QByteArrayView(",\"state\":\"interrupted\"}"));
}

// "h:mm:ss", written into buffer.
QByteArrayView duration(qint64 seconds, char (&buffer)[32]) {
    char *end = std::to_chars(buffer, buffer + 24, seconds / 3600).ptr;
    const int m = int(seconds / 60 % 60), s = int(seconds % 60);
    for (const char c : {':', char('0' + m / 10), char('0' + m % 10), ':', char('0' + s / 10), char('0' + s % 10)})
        *end++ = c;
    return QByteArrayView(buffer, end - buffer);
}

// Characters a UTF-8 text takes in a QString, which is what the columns are lined up by.
qsizetype utf16Length(QByteArrayView text) {
    qsizetype n = 0;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        n += (b & 0xC0) != 0x80;
        n += b >= 0xF0;
    }
    return n;
}

// The text table. The cells of every line are kept in one array, so that a long log costs no
// string per cell.
class Table {
public:
    static constexpr int kColumns = 7;

    // A cell of the pieces given, one after another.
    void addCell(std::initializer_list<QByteArrayView> pieces) {
        const qsizetype at = m_bytes.size();
        qsizetype width = 0;
        for (const QByteArrayView piece : pieces) {
            width += utf16Length(piece);
            m_bytes.put(piece);
        }
        m_cells.push_back({at, m_bytes.size() - at, width});
        qsizetype &w = m_widths[(m_cells.size() - 1) % kColumns];
        w = std::max(w, width);
    }

    QString write() const {
        Text out;
        for (std::size_t at = 0; at + kColumns <= m_cells.size(); at += kColumns) {
            const qsizetype lineStart = out.size();
            for (int i = 0; i < kColumns; ++i) {
                const Cell &cell = m_cells[at + i];
                const qsizetype pad = m_widths[i] - cell.width;
                if (i > 0) out.put("  ");
                // The start and the state read from the left; the figures line up on the right.
                const bool left = i == 0 || i == kColumns - 1;
                if (!left) out.fill(pad, u' ');
                out.put(m_bytes.view().sliced(cell.at, cell.bytes));
                if (left) out.fill(pad, u' ');
            }
            // The padding of the last column (and of an empty one) goes, as from trimmed().
            qsizetype end = out.size();
            while (end > lineStart && out.at(end - 1) == u' ') --end;
            out.truncate(end);
            out.put('\n');
        }
        return out.take();
    }

private:
    struct Cell {
        qsizetype at;
        qsizetype bytes;
        qsizetype width;
    };
    Bytes m_bytes;
    std::vector<Cell> m_cells;
    std::array<qsizetype, kColumns> m_widths{};
};

// A cost in the locale's numbers with its currency; the figures of a log repeat, so each is
// formatted once.
class CostText {
public:
    explicit CostText(const QLocale &locale) : m_locale(locale) {}
    QByteArrayView operator()(QByteArrayView plain, double value) {
        if (plain == m_lastPlain) return m_last;
        auto it = m_cache.constFind(plain.toByteArray());
        if (it == m_cache.cend()) {
            if (m_cache.size() > 4096) m_cache.clear();
            it = m_cache.insert(plain.toByteArray(), fmt::general(value, m_locale).toUtf8());
        }
        m_lastPlain = it.key();
        m_last = it.value();
        return m_last;
    }

private:
    QLocale m_locale;
    QHash<QByteArray, QByteArray> m_cache;
    QByteArray m_lastPlain, m_last;
};

void addTextRow(Table &table, CostText &cost, const Cells &r) {
    char start[19];
    std::copy_n(r.start.data(), 19, start);
    start[10] = ' ';
    char buffer[32];
    table.addCell({QByteArrayView(start, 19)});
    table.addCell({duration(r.seconds, buffer)});
    table.addCell({r.units});
    table.addCell({cost(r.cost, r.costValue), " ", r.currency});
    table.addCell({r.received.isEmpty() ? QByteArrayView("-") : r.received});
    table.addCell({r.sent.isEmpty() ? QByteArrayView("-") : r.sent});
    table.addCell({r.finished ? QByteArrayView("ολοκληρώθηκε") : QByteArrayView("διακόπηκε")});
}

// Whether a line has the shape of a row: thirteen fields (commas inside quotes do not count) and a
// state at the end. The csv form copies such lines as they are, which keeps a report over a long
// log close to the cost of reading the file.
bool hasRowShape(QByteArrayView line) {
    int commas = 0;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            ++commas;
    }
    return !quoted && commas == 12 && (line.endsWith(",finished") || line.endsWith(",interrupted"));
}

} // namespace

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

QString formatCallsReport(const QByteArray &csv, const stats::ReportRequest &request, const QLocale &locale) {
    const auto [from, to] = requestDays(request);
    // A row's day is the date its start is written with; ISO dates compare as their bytes do, so
    // lines outside the days are passed over without being read.
    const QByteArray fromText = from.toString(Qt::ISODate).toLatin1();
    const QByteArray toText = to.toString(Qt::ISODate).toLatin1();
    QByteArray csvOut = csvHeader() + '\n';
    // The rows are never longer than the file; appending to a reserved array copies each once.
    if (request.format == stats::ReportFormat::Csv) csvOut.reserve(csv.size() + csvOut.size());
    Table table;
    CostText cost(locale);
    if (request.format == stats::ReportFormat::Text)
        for (const char *title : {"Έναρξη", "Διάρκεια", "Μονάδες", "Κόστος", "Λήψη", "Αποστολή", "Κατάσταση"})
            table.addCell({title});
    Text json;
    json.put("{\"from\":\"" + fromText + "\",\"to\":\"" + toText + "\",\"calls\":[");
    bool firstRow = true;
    Totals totals;
    qsizetype start = 0;
    while (start < csv.size()) {
        qsizetype end = csv.indexOf('\n', start);
        if (end < 0) end = csv.size();
        QByteArrayView line(csv.constData() + start, end - start);
        start = end + 1;
        if (line.endsWith('\r')) line.chop(1);
        const QByteArrayView day = line.first(std::min<qsizetype>(10, line.size()));
        if (line.size() < 10 || day < fromText || day > toText) continue;
        if (request.format == stats::ReportFormat::Csv) {
            if (hasRowShape(line)) csvOut.append(line.data(), line.size()).append('\n');
            continue;
        }
        std::optional<Cells> row = fastCells(line);
        if (!row) {
            const std::optional<CallRow> read = parseCsvLine(line);
            if (!read) continue;
            row = slowCells(*read);
        }
        totals.add(*row);
        if (request.format == stats::ReportFormat::Text) {
            addTextRow(table, cost, *row);
        } else {
            if (!firstRow) json.put(',');
            putJsonRow(json, *row);
        }
        firstRow = false;
    }
    switch (request.format) {
    case stats::ReportFormat::Text: {
        char buffer[32];
        table.addCell({"Σύνολο"});
        table.addCell({duration(totals.seconds, buffer)});
        table.addCell({QByteArray::number(totals.units)});
        table.addCell({fmt::general(totals.cost, locale).toUtf8(), " ", totals.currency});
        table.addCell({QByteArray::number(totals.received)});
        table.addCell({QByteArray::number(totals.sent)});
        table.addCell({});
        return table.write();
    }
    case stats::ReportFormat::Csv:
        return QString::fromUtf8(csvOut);
    case stats::ReportFormat::Json:
        json.put("],\"total\":{\"seconds\":" + QByteArray::number(totals.seconds) +
                 ",\"units\":" + QByteArray::number(totals.units) +
                 ",\"cost\":" + stats::plainNumber(totals.cost).toUtf8() + ",\"currency\":");
        putJsonString(json, totals.currency);
        json.put(",\"bytes_received\":" + QByteArray::number(totals.received) +
                 ",\"bytes_sent\":" + QByteArray::number(totals.sent) + "}}\n");
        return json.take();
    }
    return {};
}

QString callsReport(const QString &folder, const stats::ReportRequest &request, const QLocale &locale) {
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
