#include "calls/callrow.h"

#include "stats/ledgerreport.h"

#include <QStringList>
#include <array>
#include <cmath>
#include <cstdio>

namespace tarv::calls {

namespace {

constexpr int kColumns = 13;

QString stateText(CallRow::State state) {
    return state == CallRow::State::Finished ? QStringLiteral("finished") : QStringLiteral("interrupted");
}

QString optionalNumber(const std::optional<quint64> &n) {
    return n ? QString::number(*n) : QString();
}

// The fields of one line: views into the line, or, for a field with quotes, into its text
// without them.
struct Fields {
    std::array<QStringView, kColumns> at;
    // The texts of the fields with quotes, one after another. Room for the whole line is made
    // before the first is added: no field grows when its quotes go, so the string is never moved
    // and the views into it stay good.
    QString unquoted;
};

// Adds a field's text without its quotes to out and returns it: a quote opens or closes quoting
// and is dropped, and two quotes inside quoting stand for one.
QStringView unquote(QStringView field, QString &out) {
    const qsizetype begin = out.size();
    bool quoted = false;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field[i];
        if (c != QLatin1Char('"'))
            out += c;
        else if (quoted && i + 1 < field.size() && field[i + 1] == QLatin1Char('"'))
            out += field[++i];
        else
            quoted = !quoted;
    }
    return QStringView(out).sliced(begin);
}

// Splits a csv line into its kColumns fields, taking quoted fields with doubled quotes inside;
// false for a line with another number of fields or a quote left open. A field without quotes,
// which is nearly every field of a log, is a view into the line rather than a string of its own.
bool splitCsv(QStringView line, Fields &fields) {
    int count = 0;
    qsizetype begin = 0;
    const auto finish = [&](qsizetype end, bool hadQuote) {
        if (count == kColumns) return false;
        const QStringView field = line.sliced(begin, end - begin);
        fields.at[count] = hadQuote ? unquote(field, fields.unquoted) : field;
        ++count;
        return true;
    };
    if (!line.contains(QLatin1Char('"'))) {
        // Nearly every line: no quoting to follow, only commas to find.
        const char16_t *text = line.utf16();
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (text[i] != u',') continue;
            if (!finish(i, false)) return false;
            begin = i + 1;
        }
        return finish(line.size(), false) && count == kColumns;
    }
    fields.unquoted.reserve(line.size());
    bool quoted = false;
    bool hadQuote = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t c = line[i].unicode();
        if (c == u'"') {
            hadQuote = true;
            if (quoted && i + 1 < line.size() && line[i + 1] == u'"')
                ++i;
            else
                quoted = !quoted;
        } else if (c == u',' && !quoted) {
            if (!finish(i, hadQuote)) return false;
            begin = i + 1;
            hadQuote = false;
        }
    }
    return !quoted && finish(line.size(), hadQuote) && count == kColumns;
}

bool isDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// The value of text made of ASCII digits only, or nothing for any other text.
std::optional<quint64> plainDigits(QStringView text) {
    quint64 v = 0;
    for (const QChar c : text) {
        if (!isDigit(c)) return std::nullopt;
        v = v * 10 + (c.unicode() - u'0');
    }
    return v;
}

// The numbers below are read by hand in the form the log writes them, plain digits, which spares
// Qt's general parser for nearly every field. Anything else (a plus sign, blanks, an exponent, too
// many digits to add up safely) is left to that parser, which decides as it always has whether the
// text is a number at all.

int readInt(QStringView text, bool &ok) {
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QStringView digits = text.sliced(negative ? 1 : 0);
    if (!digits.isEmpty() && digits.size() <= 9)
        if (const std::optional<quint64> v = plainDigits(digits)) return negative ? -int(*v) : int(*v);
    bool good = false;
    const int n = text.toInt(&good);
    ok = ok && good;
    return n;
}

std::optional<quint64> readCount(QStringView text, bool &ok) {
    if (text.isEmpty()) return std::nullopt;
    if (text.size() <= 19)
        if (const std::optional<quint64> v = plainDigits(text)) return v;
    bool good = false;
    const quint64 n = text.toULongLong(&good);
    ok = ok && good;
    return n;
}

// A cost such as "27.5": up to fifteen digits are a whole number a double holds exactly, and ten
// to the power of the decimals is exact too, so their quotient is rounded once, to the same
// double the general parser finds.
double readCost(QStringView text, bool &ok) {
    static constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QStringView number = text.sliced(negative ? 1 : 0);
    const qsizetype point = number.indexOf(QLatin1Char('.'));
    const QStringView whole = point < 0 ? number : number.first(point);
    const QStringView fraction = point < 0 ? QStringView() : number.sliced(point + 1);
    if (!whole.isEmpty() && (point < 0 || !fraction.isEmpty()) && whole.size() + fraction.size() <= 15) {
        const std::optional<quint64> w = plainDigits(whole);
        const std::optional<quint64> f = plainDigits(fraction);
        if (w && f) {
            const double v = double(*w * quint64(kPowers[fraction.size()]) + *f) / kPowers[fraction.size()];
            return negative ? -v : v;
        }
    }
    bool good = false;
    const double v = text.toDouble(&good);
    // "nan" and "inf" are numbers to the parser but no cost: they would make the totals and the
    // json report meaningless.
    ok = ok && good && std::isfinite(v);
    return v;
}

// The text of a field, shared with the last row's when it is the same.
QString sharedText(QStringView text, QString &last) {
    if (text.isEmpty()) return QString();
    if (last != text) last = text.toString();
    return last;
}

int digits(QStringView text, qsizetype at, qsizetype n, bool &ok) {
    int v = 0;
    for (qsizetype i = at; i < at + n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            ok = false;
            return 0;
        }
        v = v * 10 + (c - u'0');
    }
    return v;
}

// The day 1970-01-01 as QDate numbers its days.
constexpr qint64 kEpochJulianDay = 2'440'588;

// Reads the one form isoLocal writes, "yyyy-MM-ddTHH:mm:ss+hh:mm", without the general parser,
// which would make a report over a long log many times slower.
QDateTime readIsoLocal(QStringView t) {
    if (t.size() != 25 || t[4] != u'-' || t[7] != u'-' || t[10] != u'T' || t[13] != u':' || t[16] != u':' ||
        (t[19] != u'+' && t[19] != u'-') || t[22] != u':')
        return QDateTime::fromString(t.toString(), Qt::ISODate);
    bool ok = true;
    const int year = digits(t, 0, 4, ok), month = digits(t, 5, 2, ok), day = digits(t, 8, 2, ok);
    const int hour = digits(t, 11, 2, ok), minute = digits(t, 14, 2, ok), second = digits(t, 17, 2, ok);
    const int offsetHours = digits(t, 20, 2, ok), offsetMinutes = digits(t, 23, 2, ok);
    const int offset = (offsetHours * 60 + offsetMinutes) * 60 * (t[19] == u'-' ? -1 : 1);
    // An offset is hours and minutes of a clock, as Qt's parser takes it: "+02:60" is no offset,
    // and one of a hundred hours would not be written back in this form.
    if (!ok || !QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second) || offsetHours > 23 ||
        offsetMinutes > 59)
        return {};
    // The moment straight from the day's number: a QDateTime made of a QDate and a QTime takes
    // them apart again, which costs as much as the rest of reading the time.
    const qint64 days = QDate(year, month, day).toJulianDay() - kEpochJulianDay;
    const qint64 local = (days * 86'400 + hour * 3600 + minute * 60 + second) * 1000;
    return QDateTime::fromMSecsSinceEpoch(local - qint64(offset) * 1000, Qt::OffsetFromUTC, offset);
}

} // namespace

QString isoLocal(const QDateTime &time) {
    char text[kIsoLocalRoom];
    return QString::fromLatin1(text, writeIsoLocal(time, text) - text);
}

namespace {

// The date and the clock a time shows where it was written, as isoLocal writes them.
struct WallClock {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The wall clock of a time with a fixed offset, from its milliseconds. Asking QDateTime for its
// date and its time works the day out twice over, and a report of a long log asks for two times a
// row.
WallClock wallClockOf(const QDateTime &time, int offset) {
    constexpr qint64 kDay = 86'400'000;
    const qint64 local = time.toMSecsSinceEpoch() + qint64(offset) * 1000;
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
        const WallClock p = wallClockOf(time, offset);
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

std::optional<CallRow> CsvReader::read(QByteArrayView line) {
    const QString text = QString::fromUtf8(line);
    Fields fields;
    if (!splitCsv(text, fields)) return std::nullopt;
    const auto &f = fields.at;
    CallRow row;
    row.start = readIsoLocal(f[0]);
    row.end = readIsoLocal(f[1]);
    bool ok = row.start.isValid() && row.end.isValid();
    row.units = readInt(f[3], ok);
    row.cost = readCost(f[4], ok);
    row.currency = sharedText(f[5], m_currency);
    row.unitsA = readInt(f[6], ok);
    row.unitsB = readInt(f[7], ok);
    row.name = sharedText(f[8], m_name);
    row.deviceType = sharedText(f[9], m_device);
    row.received = readCount(f[10], ok);
    row.sent = readCount(f[11], ok);
    if (f[12] == QLatin1String("finished"))
        row.state = CallRow::State::Finished;
    else if (f[12] == QLatin1String("interrupted"))
        row.state = CallRow::State::Interrupted;
    else
        ok = false;
    // Times keep the offset they were written with, so that a row reads back as the local
    // time of the day it was charged to.
    if (!ok) return std::nullopt;
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
