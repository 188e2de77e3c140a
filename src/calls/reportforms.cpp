#include "calls/reportforms.h"

#include "framework/textformat.h"
#include "stats/ledgerreport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <vector>

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

// A text as a json string in UTF-8. The rows' texts repeat, so this runs about once a report.
QByteArray jsonText(const QString &text) {
    return stats::jsonString(text).toUtf8();
}

QByteArray utf8Of(const QString &text) {
    return text.toUtf8();
}

// A text of the row before, as the report writes it, kept while rows repeat it, as the rows of a
// log nearly always repeat their provider, device and currency.
class LastText {
public:
    explicit LastText(QByteArray (*convert)(const QString &)) : m_convert(convert) {}
    // The written form of a row's text, given as its UTF-8 bytes.
    const QByteArray &of(QByteArrayView utf8) {
        if (!m_known || utf8 != m_key) {
            m_key = utf8.toByteArray();
            const QString text = QString::fromUtf8(utf8);
            m_bytes = m_convert(text);
            m_width = text.size();
            m_known = true;
        }
        return m_bytes;
    }
    // The width in characters of the text of() was last given.
    qsizetype width() const { return m_width; }

private:
    QByteArray (*m_convert)(const QString &);
    QByteArray m_key;
    QByteArray m_bytes;
    qsizetype m_width = 0;
    bool m_known = false;
};

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

class TextForm final : public ReportForm {
public:
    TextForm(const QLocale &locale, qsizetype sizeHint)
        : m_cells(sizeHint), m_costs(locale), m_finishedBytes(m_finished.toUtf8()),
          m_interruptedBytes(m_interrupted.toUtf8()) {
        m_lines.reserve(size_t(sizeHint / 100) + 2);
        begin();
        for (const QString &head : {QStringLiteral("Έναρξη"), QStringLiteral("Διάρκεια"), QStringLiteral("Μονάδες"),
                                    QStringLiteral("Κόστος"), QStringLiteral("Λήψη"), QStringLiteral("Αποστολή"),
                                    QStringLiteral("Κατάσταση")})
            text(head);
    }

    void add(const RowFields &r) override {
        m_totals.add(r);
        begin();
        // The start as "2001-03-15 10:00:00": the date and the time of isoLocal's text.
        char iso[kIsoLocalRoom];
        const qsizetype isoSize = writeIsoLocal(r.start, iso) - iso;
        m_cells.put(QByteArrayView(iso, std::min<qsizetype>(isoSize, 10)));
        m_cells.put(' ');
        if (isoSize > 11) m_cells.put(QByteArrayView(iso + 11, std::min<qsizetype>(isoSize - 11, 8)));
        endAscii();
        putDuration(m_cells, r.seconds);
        endAscii();
        m_cells.putNumber(r.units);
        endAscii();
        costCell(r.cost, r.currency);
        putCount(m_cells, r.received, "-");
        endAscii();
        putCount(m_cells, r.sent, "-");
        endAscii();
        const bool done = r.state == CallRow::State::Finished;
        m_cells.put(done ? m_finishedBytes : m_interruptedBytes);
        end(done ? m_finished.size() : m_interrupted.size());
    }

    QByteArray finish() override {
        const CallTotals &t = m_totals;
        begin();
        text(QStringLiteral("Σύνολο"));
        putDuration(m_cells, t.seconds);
        endAscii();
        m_cells.putNumber(t.units);
        endAscii();
        costCell(t.cost, t.currency.toUtf8());
        m_cells.putNumber(t.received);
        endAscii();
        m_cells.putNumber(t.sent);
        endAscii();
        end(0);
        return layOut();
    }

private:
    static constexpr int kCells = 7;
    // Each line's cells are written once, one after another, and measured in characters as they
    // are; the table is laid out when every width is known.
    // A cell holds a field of one line of the log at most, which is far below 4 GiB; end() makes
    // sure. Narrow sizes halve the memory a long log's table takes before it is laid out.
    struct Line {
        qsizetype at = 0;
        std::array<quint32, kCells> bytes{};
        std::array<quint32, kCells> width{};
    };

    void begin() {
        m_line = &m_lines.emplace_back();
        m_line->at = m_cells.size();
        m_cell = 0;
        m_cellAt = m_cells.size();
    }
    void end(qsizetype width) {
        const qsizetype bytes = m_cells.size() - m_cellAt;
        if (bytes > qsizetype(std::numeric_limits<quint32>::max()))
            throw stats::ELedgerError(QStringLiteral("calls.csv: a line too long to report"));
        m_line->bytes[m_cell] = quint32(bytes);
        m_line->width[m_cell] = quint32(width);
        ++m_cell;
        m_cellAt = m_cells.size();
    }
    // A cell of ASCII: as wide as it has bytes.
    void endAscii() { end(m_cells.size() - m_cellAt); }
    void text(const QString &s) {
        m_cells.put(s.toUtf8());
        end(s.size());
    }
    void costCell(double cost, QByteArrayView unit) {
        const qsizetype width = m_costs.put(m_cells, cost);
        m_cells.put(' ');
        m_cells.put(m_currency.of(unit));
        end(width + 1 + m_currency.width());
    }

    QByteArray layOut() const {
        std::array<qsizetype, kCells> widths{};
        qsizetype cellsWidth = 0;
        for (const Line &l : m_lines)
            for (int i = 0; i < kCells; ++i) {
                widths[i] = std::max(widths[i], qsizetype(l.width[i]));
                cellsWidth += l.width[i];
            }
        // Every line is as wide as the table, and holds more bytes than characters where its cells
        // do: the report is never longer than that, and is written without growing its buffer.
        const qsizetype tableWidth = std::accumulate(widths.begin(), widths.end(), qsizetype(2 * (kCells - 1) + 1));
        Utf8Out out(tableWidth * qsizetype(m_lines.size()) + m_cells.size() - cellsWidth);
        for (const Line &l : m_lines) {
            const qsizetype start = out.size();
            qsizetype at = l.at;
            // The start and the state read from the left; the figures line up on the right.
            for (int i = 0; i < kCells; ++i) {
                if (i > 0) out.fill(2, ' ');
                const qsizetype pad = widths[i] - l.width[i];
                const QByteArrayView content = m_cells.slice(at, l.bytes[i]);
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

    Utf8Out m_cells;
    std::vector<Line> m_lines;
    Line *m_line = nullptr;
    int m_cell = 0;
    qsizetype m_cellAt = 0;
    CallTotals m_totals;
    const LocaleCosts m_costs;
    LastText m_currency{utf8Of};
    const QString m_finished = QStringLiteral("ολοκληρώθηκε");
    const QString m_interrupted = QStringLiteral("διακόπηκε");
    const QByteArray m_finishedBytes, m_interruptedBytes;
};

class JsonForm final : public ReportForm {
public:
    // Written piece by piece: a name or currency is text, never a place for a later figure.
    JsonForm(const QDate &from, const QDate &to, qsizetype sizeHint) : m_out(sizeHint) {
        m_out.put("{\"from\":\"");
        m_out.put(from.toString(Qt::ISODate).toLatin1());
        m_out.put("\",\"to\":\"");
        m_out.put(to.toString(Qt::ISODate).toLatin1());
        m_out.put("\",\"calls\":[");
    }

    void add(const RowFields &r) override {
        Utf8Out &out = m_out;
        if (m_totals.calls > 0) out.put(',');
        m_totals.add(r);
        out.put("{\"start\":\"");
        out.advance(writeIsoLocal(r.start, out.room(kIsoLocalRoom)));
        out.put("\",\"end\":\"");
        out.advance(writeIsoLocal(r.end, out.room(kIsoLocalRoom)));
        out.put("\",\"seconds\":");
        out.putNumber(r.seconds);
        out.put(",\"units\":");
        out.putNumber(r.units);
        out.put(",\"cost\":");
        putPlainNumber(out, r.cost);
        out.put(",\"currency\":");
        out.put(m_currency.of(r.currency));
        out.put(",\"units_a\":");
        out.putNumber(r.unitsA);
        out.put(",\"units_b\":");
        out.putNumber(r.unitsB);
        out.put(",\"name\":");
        out.put(m_name.of(r.name));
        out.put(",\"device\":");
        out.put(m_device.of(r.device));
        out.put(",\"bytes_received\":");
        putCount(out, r.received, "null");
        out.put(",\"bytes_sent\":");
        putCount(out, r.sent, "null");
        out.put(r.state == CallRow::State::Finished ? QByteArrayView(",\"state\":\"finished\"}")
                                                    : QByteArrayView(",\"state\":\"interrupted\"}"));
    }

    QByteArray finish() override {
        const CallTotals &t = m_totals;
        Utf8Out &out = m_out;
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

private:
    Utf8Out m_out;
    CallTotals m_totals;
    LastText m_currency{jsonText}, m_name{jsonText}, m_device{jsonText};
};

} // namespace

std::unique_ptr<ReportForm> textForm(const QLocale &locale, qsizetype sizeHint) {
    return std::make_unique<TextForm>(locale, sizeHint);
}

std::unique_ptr<ReportForm> jsonForm(const QDate &from, const QDate &to, qsizetype sizeHint) {
    // Each row takes about twice its bytes in the log.
    return std::make_unique<JsonForm>(from, to, sizeHint * 5 / 2);
}

} // namespace tarv::calls
