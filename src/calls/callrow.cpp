#include "calls/callrow.h"

#include "stats/ledgerreport.h"

#include <QStringList>
#include <QtAlgorithms>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define TARV_CALLS_SSE2
#endif

namespace tarv::calls {

namespace {

constexpr int kColumns = 13;

QString stateText(CallRow::State state) {
    return state == CallRow::State::Finished ? QStringLiteral("finished") : QStringLiteral("interrupted");
}

QString optionalNumber(const std::optional<quint64> &n) {
    return n ? QString::number(*n) : QString();
}

// Splits a csv line into its kColumns fields, taking quoted fields with doubled quotes inside;
// false for a line with another number of fields or a quote left open. Commas and quotes are
// ASCII and never part of a longer UTF-8 character, so the bytes split as the text would. A field
// without quotes, which is nearly every field of a log, is a view into the line; one with quotes
// is a view of its text without them in unquoted. Room for the whole line is made there before
// the first such field is added: no field grows when its quotes go, so the buffer never moves and
// the views into it stay good.
bool splitCsv(QByteArrayView line, std::array<QByteArrayView, kColumns> &fields, QByteArray &unquoted) {
    int count = 0;
    qsizetype begin = 0;
    const char *const text = line.data();
    const auto finish = [&](qsizetype end) {
        if (count == kColumns) return false;
        fields[count++] = QByteArrayView(text + begin, end - begin);
        return true;
    };
    // Nearly every line has no quoting to follow, only commas to find: sixteen bytes at a time on
    // processors with SSE2, as every x86-64 one has. A quote sends the line to the reading below.
    bool hasQuote = false;
    qsizetype i = 0;
#if defined(TARV_CALLS_SSE2)
    const __m128i comma = _mm_set1_epi8(','), quote = _mm_set1_epi8('"');
    for (; i + 16 <= line.size() && !hasQuote; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
        hasQuote = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote)) != 0;
        for (quint32 commas = quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, comma))); commas && !hasQuote;
             commas &= commas - 1) {
            const qsizetype at = i + qCountTrailingZeroBits(commas);
            if (!finish(at)) return false;
            begin = at + 1;
        }
    }
#endif
    for (; i < line.size() && !hasQuote; ++i) {
        if (text[i] == '"') hasQuote = true;
        if (text[i] != ',') continue;
        if (!finish(i)) return false;
        begin = i + 1;
    }
    if (!hasQuote) return finish(line.size()) && count == kColumns;
    count = 0;
    unquoted.resize(line.size());
    char *out = unquoted.data();
    const char *fieldStart = out;
    const auto finishQuoted = [&] {
        if (count == kColumns) return false;
        fields[count++] = QByteArrayView(fieldStart, out - fieldStart);
        fieldStart = out;
        return true;
    };
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            // A quote opens or closes quoting and is dropped; two inside quoting stand for one.
            if (quoted && i + 1 < line.size() && text[i + 1] == '"')
                *out++ = text[++i];
            else
                quoted = !quoted;
        } else if (c == ',' && !quoted) {
            if (!finishQuoted()) return false;
        } else {
            *out++ = c;
        }
    }
    return !quoted && finishQuoted() && count == kColumns;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of text made of ASCII digits only, or nothing for any other text.
std::optional<quint64> plainDigits(QByteArrayView text) {
    quint64 v = 0;
    for (const char c : text) {
        if (!isDigit(c)) return std::nullopt;
        v = v * 10 + quint64(c - '0');
    }
    return v;
}

// The numbers below are read by hand in the form the log writes them, plain digits, which spares
// Qt's general parser for nearly every field. Anything else (a plus sign, blanks, an exponent, too
// many digits to add up safely) is left to that parser, which decides as it always has whether the
// text is a number at all.

int readInt(QByteArrayView text, bool &ok) {
    const bool negative = text.startsWith('-');
    const QByteArrayView digits = text.sliced(negative ? 1 : 0);
    if (!digits.isEmpty() && digits.size() <= 9)
        if (const std::optional<quint64> v = plainDigits(digits)) return negative ? -int(*v) : int(*v);
    bool good = false;
    const int n = QString::fromUtf8(text).toInt(&good);
    ok = ok && good;
    return n;
}

std::optional<quint64> readCount(QByteArrayView text, bool &ok) {
    if (text.isEmpty()) return std::nullopt;
    if (text.size() <= 19)
        if (const std::optional<quint64> v = plainDigits(text)) return v;
    bool good = false;
    const quint64 n = QString::fromUtf8(text).toULongLong(&good);
    ok = ok && good;
    return n;
}

// A cost such as "27.5": up to fifteen digits are a whole number a double holds exactly, and ten
// to the power of the decimals is exact too, so their quotient is rounded once, to the same
// double the general parser finds.
double readCost(QByteArrayView text, bool &ok) {
    static constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = text.startsWith('-');
    const QByteArrayView number = text.sliced(negative ? 1 : 0);
    const qsizetype point = number.indexOf('.');
    const QByteArrayView whole = point < 0 ? number : number.first(point);
    const QByteArrayView fraction = point < 0 ? QByteArrayView() : number.sliced(point + 1);
    if (!whole.isEmpty() && (point < 0 || !fraction.isEmpty()) && whole.size() + fraction.size() <= 15) {
        const std::optional<quint64> w = plainDigits(whole);
        const std::optional<quint64> f = plainDigits(fraction);
        if (w && f) {
            const double v = double(*w * quint64(kPowers[fraction.size()]) + *f) / kPowers[fraction.size()];
            return negative ? -v : v;
        }
    }
    bool good = false;
    const double v = QString::fromUtf8(text).toDouble(&good);
    // "nan" and "inf" are numbers to the parser but no cost: they would make the totals and the
    // json report meaningless.
    ok = ok && good && std::isfinite(v);
    return v;
}

int digits(QByteArrayView text, qsizetype at, qsizetype n, bool &ok) {
    int v = 0;
    for (qsizetype i = at; i < at + n; ++i) {
        const char c = text[i];
        if (!isDigit(c)) {
            ok = false;
            return 0;
        }
        v = v * 10 + (c - '0');
    }
    return v;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days from 1970-01-01 to a date of the Gregorian calendar, which QDate follows for every year
// (the usual shift of the year to begin in March, so that the leap day comes last).
qint64 daysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return qint64(era) * 146'097 + dayOfEra - 719'468;
}

bool isLogForm(QByteArrayView t) {
    return t.size() == 25 && t[4] == '-' && t[7] == '-' && t[10] == 'T' && t[13] == ':' && t[16] == ':' &&
           (t[19] == '+' || t[19] == '-') && t[22] == ':';
}

// A time as a CallRow holds it: with the offset it was written with, or as Qt's parser read a
// time in another form. Times are to the second, as the log writes them: a time edited in with
// milliseconds would otherwise be written back as another moment than it was read.
QDateTime dateTimeOf(const RowFields::Time &time) {
    if (time.logForm) return QDateTime::fromMSecsSinceEpoch(time.msecs, Qt::OffsetFromUTC, time.offset);
    const QDateTime parsed = QDateTime::fromString(QString::fromUtf8(time.text), Qt::ISODate);
    return parsed.addMSecs(-parsed.time().msec());
}

// Reads a time. The one form isoLocal writes, "yyyy-MM-ddTHH:mm:ss+hh:mm", is read by hand, as
// the general parser would make a report over a long log many times slower; other forms go to
// that parser. False for a text that is no time.
bool readTime(QByteArrayView t, RowFields::Time &time) {
    time.text = t;
    time.logForm = isLogForm(t);
    if (!time.logForm) {
        const QDateTime parsed = dateTimeOf(time);
        time.msecs = parsed.toMSecsSinceEpoch();
        time.offset = parsed.offsetFromUtc();
        return parsed.isValid();
    }
    bool ok = true;
    const int year = digits(t, 0, 4, ok), month = digits(t, 5, 2, ok), day = digits(t, 8, 2, ok);
    const int hour = digits(t, 11, 2, ok), minute = digits(t, 14, 2, ok), second = digits(t, 17, 2, ok);
    const int offsetHours = digits(t, 20, 2, ok), offsetMinutes = digits(t, 23, 2, ok);
    static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    // Year 0 is no year to QDate. An offset is hours and minutes of a clock, as Qt's parser takes
    // it: "+02:60" is no offset, and one of a hundred hours would not be written back in this form.
    if (!ok || year < 1 || month < 1 || month > 12 || day < 1 ||
        day > kMonthDays[month - 1] + (month == 2 && isLeapYear(year)) || hour > 23 || minute > 59 || second > 59 ||
        offsetHours > 23 || offsetMinutes > 59)
        return false;
    time.offset = (offsetHours * 60 + offsetMinutes) * 60 * (t[19] == '-' ? -1 : 1);
    const qint64 local = daysFromCivil(year, month, day) * 86'400 + hour * 3600 + minute * 60 + second;
    time.msecs = (local - time.offset) * 1000;
    return true;
}

} // namespace

bool FieldReader::read(QByteArrayView line, RowFields &r) {
    std::array<QByteArrayView, kColumns> f;
    if (!splitCsv(line, f, m_unquoted)) return false;
    bool ok = readTime(f[0], r.start) && readTime(f[1], r.end);
    if (!ok) return false;
    // Both times are whole seconds, in whatever form they were written.
    r.seconds = std::max<qint64>(0, (r.end.msecs - r.start.msecs) / 1000);
    r.units = readInt(f[3], ok);
    r.cost = readCost(f[4], ok);
    r.currency = f[5];
    r.unitsA = readInt(f[6], ok);
    r.unitsB = readInt(f[7], ok);
    r.name = f[8];
    r.device = f[9];
    r.received = readCount(f[10], ok);
    r.sent = readCount(f[11], ok);
    if (f[12] == "finished")
        r.state = CallRow::State::Finished;
    else if (f[12] == "interrupted")
        r.state = CallRow::State::Interrupted;
    else
        ok = false;
    return ok;
}

QString isoLocal(const QDateTime &time) {
    char text[kIsoLocalRoom];
    return QString::fromLatin1(text, writeIsoLocal(time, text) - text);
}

namespace {

// The date and the clock a time shows where it was written, as isoLocal writes them.
struct WallClock {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The day 1970-01-01 as QDate numbers its days.
constexpr qint64 kEpochJulianDay = 2'440'588;

// The wall clock of a time with a fixed offset, from its milliseconds. Asking QDateTime for its
// date and its time works the day out twice over, and a report of a long log asks for two times a
// row.
WallClock wallClockOf(qint64 msecs, int offset) {
    constexpr qint64 kDay = 86'400'000;
    const qint64 local = msecs + qint64(offset) * 1000;
    qint64 days = local / kDay;
    qint64 ms = local % kDay;
    if (ms < 0) {
        ms += kDay;
        --days;
    }
    WallClock p;
    QDate::fromJulianDay(days + kEpochJulianDay).getDate(&p.year, &p.month, &p.day);
    p.hour = int(ms / 3'600'000);
    p.minute = int(ms / 60'000 % 60);
    p.second = int(ms / 1000 % 60);
    return p;
}

} // namespace

char *writeIsoLocal(const QDateTime &time, char *out) {
    // Written by hand: Qt's formatting reads its pattern anew at every call, and even printf is
    // a good part of the cost of a report over a long log.
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    const Qt::TimeSpec kind = time.timeSpec();
    if (time.isValid() && (kind == Qt::OffsetFromUTC || kind == Qt::UTC) && minutes < 100 * 60) {
        const WallClock p = wallClockOf(time.toMSecsSinceEpoch(), offset);
        // Years before 1 are left to Qt, which writes them its own way.
        if (p.year >= 1 && p.year <= 9999) {
            const auto two = [&](int v) {
                *out++ = char('0' + v / 10);
                *out++ = char('0' + v % 10);
            };
            two(p.year / 100);
            two(p.year % 100);
            *out++ = '-';
            two(p.month);
            *out++ = '-';
            two(p.day);
            *out++ = 'T';
            two(p.hour);
            *out++ = ':';
            two(p.minute);
            *out++ = ':';
            two(p.second);
            *out++ = offset < 0 ? '-' : '+';
            two(minutes / 60);
            *out++ = ':';
            two(minutes % 60);
            return out;
        }
    }
    // Local times, which Qt works out with the time zone's rules, and times that are not valid or
    // are out of the four-digit years.
    const QDate d = time.date();
    const QTime t = time.time();
    const int n = std::snprintf(out, kIsoLocalRoom, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", d.year(), d.month(),
                                d.day(), t.hour(), t.minute(), t.second(), offset < 0 ? '-' : '+', minutes / 60,
                                minutes % 60);
    return out + std::clamp(n, 0, kIsoLocalRoom - 1);
}

char *writeIsoLocal(const RowFields::Time &time, char *out) {
    if (!time.logForm) return writeIsoLocal(dateTimeOf(time), out);
    // The text read is the text isoLocal writes, but for the sign of an offset of none: "+00:00".
    std::memcpy(out, time.text.data(), size_t(time.text.size()));
    if (time.offset == 0) out[19] = '+';
    return out + time.text.size();
}

QString csvField(const QString &text) {
    static const QString special = QStringLiteral(",\"\r\n");
    for (const QChar c : text)
        if (special.contains(c))
            return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return text;
}

QByteArray csvHeader() {
    return "start,end,seconds,units,cost,currency,units_a,units_b,name,device,bytes_received,bytes_sent,state";
}

QByteArray csvLine(const CallRow &row) {
    const QStringList fields{isoLocal(row.start),
                             isoLocal(row.end),
                             QString::number(row.seconds()),
                             QString::number(row.units),
                             stats::plainNumber(row.cost),
                             csvField(row.currency),
                             QString::number(row.unitsA),
                             QString::number(row.unitsB),
                             csvField(row.name),
                             csvField(row.deviceType),
                             optionalNumber(row.received),
                             optionalNumber(row.sent),
                             stateText(row.state)};
    
    return fields.join(QLatin1Char(',')).toUtf8();
}

std::optional<CallRow> parseCsvLine(QByteArrayView line) {
    return CsvReader().read(line);
}

QString CsvReader::shared(QByteArrayView bytes, Shared &last) {
    if (bytes.isEmpty()) return QString();
    if (last.bytes != bytes) {
        last.bytes = bytes.toByteArray();
        last.text = QString::fromUtf8(bytes);
    }
    return last.text;
}

std::optional<CallRow> CsvReader::read(QByteArrayView line) {
    RowFields f;
    if (!m_fields.read(line, f)) return std::nullopt;
    CallRow row;
    // Times keep the offset they were written with, so that a row reads back as the local
    // time of the day it was charged to.
    row.start = dateTimeOf(f.start);
    row.end = dateTimeOf(f.end);
    row.units = f.units;
    row.cost = f.cost;
    row.currency = shared(f.currency, m_currency);
    row.unitsA = f.unitsA;
    row.unitsB = f.unitsB;
    row.name = shared(f.name, m_name);
    row.deviceType = shared(f.device, m_device);
    row.received = f.received;
    row.sent = f.sent;
    row.state = f.state;
    return row;
}

QList<CallRow> parseCsv(const QByteArray &bytes, int *skipped) {
    QList<CallRow> rows;
    int bad = 0;
    qsizetype start = 0;
    bool first = true;
    CsvReader reader;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) end = bytes.size();
        QByteArrayView line(bytes.constData() + start, end - start);
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty() && !(first && line == csvHeader())) {
            if (std::optional<CallRow> row = reader.read(line))
                rows.append(std::move(*row));
            else
                ++bad;
        }
        first = false;
        start = end + 1;
    }
    if (skipped) *skipped = bad;
    return rows;
}

} // namespace tarv::calls
