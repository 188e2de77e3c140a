#include "stats/ledgerstats.h"

#include "stats/ledgerruns.h"

#include "framework/errors.h"
#include "framework/textformat.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <charconv>
#include <limits>

namespace tarv::stats {

namespace {

// The text of a piece of a ledger line. Amounts and keys are plain ASCII in every ledger the
// program writes; only other bytes need the code page's decoder.
QString textOf(QByteArrayView bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return fmt::fromCp1253(bytes.toByteArray());
    return QString::fromLatin1(bytes);
}

// Characters from..from+count-1 (1-based) of line, cut at its end.
QByteArrayView chars(QByteArrayView line, qsizetype from, qsizetype count) {
    if (from > line.size()) return {};
    return line.sliced(from - 1, std::min(count, line.size() - from + 1));
}

// Reads an amount made only of digits and one decimal separator (a comma or a point), the
// form of every amount the program writes, without building a text. False for anything else.
bool plainAmount(QByteArrayView text, double &value) {
    char buffer[32];
    if (text.isEmpty() || text.size() >= qsizetype(sizeof buffer)) return false;
    int separators = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == ',' || c == '.') {
            ++separators;
            c = '.';
        } else if (c < '0' || c > '9') {
            return false;
        }
        buffer[i] = c;
    }
    if (separators > 1 || text.size() == separators) return false;
    const char *end = buffer + text.size();
    const auto [ptr, ec] = std::from_chars(buffer, end, value);
    return ec == std::errc() && ptr == end;
}

// Characters 8 to the end: the amount of a record, read as a decimal number.
double amountOf(QByteArrayView line) {
    const QByteArrayView text = chars(line, 8, line.size());
    double value = 0;
    if (plainAmount(text, value)) return value;
    return fmt::toDouble(textOf(text));
}

// A two-character field of a key as an integer, 0 when it is not one.
int intOrZero(QByteArrayView field) {
    if (field.size() == 2 && field[0] >= '0' && field[0] <= '9' && field[1] >= '0' && field[1] <= '9')
        return (field[0] - '0') * 10 + (field[1] - '0');
    bool ok = false;
    const int v = field.toByteArray().trimmed().toInt(&ok);
    return ok ? v : 0;
}

// The two digits at p as a number, or -1 when they are not two digits.
int twoDigits(const char *p) {
    return scan::isDigit(p[0]) && scan::isDigit(p[1]) ? (p[0] - '0') * 10 + (p[1] - '0') : -1;
}

// The amount of a record from its eighth character, the common case without building a text:
// digits with at most one separator. The quotient of two exactly held integers is rounded once,
// so the value is the same double that reading the decimal text gives.
double recordAmount(const char *line, qsizetype size) {
    static constexpr double kPowers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (size > 7 && size - 7 <= 16) {
        qint64 mantissa = 0;
        int digits = 0;
        int decimals = -1;
        bool plain = true;
        for (qsizetype i = 7; i < size && plain; ++i) {
            const char c = line[i];
            if (scan::isDigit(c)) {
                mantissa = mantissa * 10 + (c - '0');
                ++digits;
                if (decimals >= 0) ++decimals;
            } else if ((c == ',' || c == '.') && decimals < 0) {
                decimals = 0;
            } else {
                plain = false;
            }
        }
        if (plain && digits > 0 && digits <= 15) return double(mantissa) / kPowers[std::max(decimals, 0)];
    }
    return amountOf(QByteArrayView(line, size));
}

// Whether day d of month m (both checked to be in range) exists in year y.
bool dateExists(int y, int m, int d) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d <= kDays[m - 1]) return true;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && d == 29 && leap;
}

// Checks the date of a usual record whose day only some years have (29 February) or none
// (31 April): raises EDateError for one that does not exist. Kept out of the loops, which
// seldom need it.
Q_NEVER_INLINE void checkRareDate(const char *p) {
    if (!dateExists(2000 + (p[0] - '0') * 10 + (p[1] - '0'), (p[2] - '0') * 10 + (p[3] - '0'), (p[4] - '0') * 10 + (p[5] - '0')))
        throw EDateError(QStringLiteral("Invalid date '%1' in the ledger").arg(textOf(QByteArrayView(p, 6))));
}

// The sum of the usual records dated firstKey..lastKey (record keys). The amounts add up digit
// by digit: each byte of digitSums holds the sum of one amount digit over at most 28 records
// (28 x 9 < 256), weighed by its place when it is emptied, so that no record needs a
// multiplication of its own. Kept in a local object whose members all stay in registers.
struct UsualRecords {
    qint64 firstKey = 0;
    qint64 lastKey = -1;
    qint64 thousandths = 0;
    quint64 digitSums = 0;
    int pending = 0;
    const quint8 *kinds = scan::dateKinds().data();

    // Adds the usual record at p, whose form is known: its month and day say at once whether
    // it is dated, and only the rare day that some years lack needs its year.
    Q_ALWAYS_INLINE void add(const char *p, const scan::RecordWords &w) {
        int kind = kinds[scan::monthDay(w)];
        if (Q_UNLIKELY(kind == scan::kCheckYear)) {
            checkRareDate(p);
            kind = scan::kDated;
        }
        const qint64 key = qint64(scan::recordKey(p));
        const bool take = (kind == scan::kDated) & (key >= firstKey) & (key <= lastKey);
        digitSums += scan::amountDigits(w) & (quint64(0) - quint64(take));
        if (++pending == 28) empty();
    }

    Q_ALWAYS_INLINE void empty() {
        static constexpr qint64 kPlaces[8] = {1000000, 100000, 10000, 1000, 0, 100, 10, 1};
        for (int k = 0; k < 8; ++k)
            thousandths += qint64((digitSums >> (8 * k)) & 0xFF) * kPlaces[k];
        digitSums = 0;
        pending = 0;
    }
};

} // namespace

QByteArray readLedgerFile(const QString &folder) {
    QFile file(QDir(folder).filePath(QStringLiteral("data.dat")));
    if (!file.open(QIODevice::ReadOnly)) {
        if (!file.exists()) throw EInOutError(QStringLiteral("File not found \"%1\"").arg(file.fileName()));
        throw EInOutError(
            QStringLiteral("Cannot open file \"%1\": %2").arg(file.fileName(), file.errorString()));
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(
            QStringLiteral("Cannot read file \"%1\": %2").arg(file.fileName(), file.errorString()));
    return bytes;
}

void forEachLine(QByteArrayView bytes, const std::function<void(qsizetype, QByteArrayView)> &visit) {
    scan::lines(bytes.data(), bytes.size(),
              [&](qsizetype index, const char *line, qsizetype size) { visit(index, QByteArrayView(line, size)); });
}

std::array<double, 12> monthlyTotals(QByteArrayView ledger, const QString &yearText) {
    std::array<double, 12> sums{};
    // The year box always holds four digits; any other text names no year of the ledger.
    const QString yearKey = fmt::copyChars(yearText, 3, 2);
    if (yearKey.size() != 2) return sums;
    const QByteArray key = yearKey.toLatin1();
    // The header never counts: only lines after a line end are looked at.
    scan::keyedLines(ledger.data(), ledger.size(), key.constData(), 2, [&](const char *line, qsizetype size) {
        int month = size >= 4 ? twoDigits(line + 2) : -1;
        if (month < 0) month = fmt::toInt(textOf(chars(QByteArrayView(line, size), 3, 2)));
        // A damaged or hand-edited line may name a month that does not exist.
        if (month < 1 || month > 12) return;
        sums[month - 1] += recordAmount(line, size);
    });
    return sums;
}

double rangeTotal(QByteArrayView ledger, const QDate &from, const QDate &to) {
    double sum = 0;
    // Dates compared as numbers yyyymmdd, in the same order as the dates themselves.
    const auto ordinal = [](int y, int m, int d) { return y * 10000 + m * 100 + d; };
    const int first = ordinal(from.year(), from.month(), from.day());
    const int last = ordinal(to.year(), to.month(), to.day());
    // A record has six key digits, "|" and an amount of eight characters or, once the day's
    // total has reached 10000, more: the monthly grid counts those too. The header, blank and
    // space-filled lines never count.
    const auto anyLine = [&](const char *line, qsizetype size) {
        if (size < 15) return;
        int yy = twoDigits(line);
        int mm = twoDigits(line + 2);
        int dd = twoDigits(line + 4);
        const bool digits = yy >= 0 && mm >= 0 && dd >= 0;
        if (!digits) {
            const QByteArrayView view(line, size);
            yy = intOrZero(view.sliced(0, 2));
            mm = intOrZero(view.sliced(2, 2));
            dd = intOrZero(view.sliced(4, 2));
        }
        if (mm < 1 || mm > 12 || dd < 1 || dd > 31) return; // dated before any range
        if (digits ? !dateExists(2000 + yy, mm, dd) : !QDate::isValid(2000 + yy, mm, dd))
            throw EDateError(QStringLiteral("Invalid date '%1' in the ledger").arg(textOf(QByteArrayView(line, 6))));
        const int date = ordinal(2000 + yy, mm, dd);
        if (date >= first && date <= last) sum += recordAmount(line, size);
    };
    const char *data = ledger.data();
    const qsizetype n = ledger.size();
    // The header is line 0 and never counts.
    qsizetype at = scan::nextLine(data, n, scan::lineEnd(data, n, 0));
    // The range's ends as record keys: the six key characters of a record read as one number
    // order the same way as the dates. Years outside 2000..2099 lie beyond every key.
    const auto keyOf = [](const QDate &d, bool first) -> qint64 {
        if (d.year() < 2000) return first ? 0 : -1;
        if (d.year() > 2099) return first ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::max() - 1;
        const QByteArray text = QByteArray::number(((d.year() - 2000) * 100 + d.month()) * 100 + d.day()).rightJustified(6, '0') + "  ";
        return qint64(qFromBigEndian<quint64>(text.constData()) >> 16 & 0xFFFFFFFFFFFFULL);
    };
    const qint64 firstKey = keyOf(from, true);
    const qint64 lastKey = keyOf(to, false);
    UsualRecords usual{firstKey, lastKey};
    scan::RunSums runs;
    const scan::KeySpan span{firstKey, lastKey};
    while (at < n) {
        // Most of a ledger goes in whole runs that lie inside the range or outside it.
        at = scan::usualRuns(data, n, at, span, runs);
        if (at >= n) break;
        if (scan::recordRun(data + at, n - at)) {
            // Sixteen usual records in a row, their form checked at once, that need a look at
            // each key: an end of the range or a date that is not a day of every year.
            for (int r = 0; r < scan::kRunRecords; ++r, at += 17)
                usual.add(data + at, scan::wordsOf(data + at));
            continue;
        }
        scan::RecordWords w;
        if (scan::recordWords(data + at, n - at, w)) {
            usual.add(data + at, w);
            at += 17;
            continue;
        }
        const qsizetype end = scan::lineEnd(data, n, at);
        anyLine(data + at, end - at);
        at = scan::nextLine(data, n, end);
    }
    usual.empty();
    runs.fold();
    return sum + double(usual.thousandths + runs.thousandths) / 1000.0;
}

QByteArray monthKey(int year, int month) {
    return QStringLiteral("%1%2")
        .arg(((year % 100) + 100) % 100, 2, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .toLatin1();
}

std::array<double, 31> dayValues(QByteArrayView ledger, int year, int month) {
    std::array<double, 31> values{};
    const QByteArray key = monthKey(year, month);
    // The header is never a record: only lines after a line end are looked at.
    scan::keyedLines(ledger.data(), ledger.size(), key.constData(), int(key.size()), [&](const char *line, qsizetype size) {
        int day = size >= 6 ? twoDigits(line + 4) : -1;
        if (day < 0) day = fmt::toInt(textOf(chars(QByteArrayView(line, size), 5, 2)));
        // A damaged or hand-edited line may name a day that no month has.
        if (day < 1 || day > 31) return;
        values[day - 1] = recordAmount(line, size);
    });
    return values;
}

} // namespace tarv::stats
