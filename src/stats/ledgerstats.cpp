#include "stats/ledgerstats.h"

#include "framework/errors.h"
#include "framework/textformat.h"

#include <QDir>
#include <QFile>
#include <charconv>

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
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    qsizetype index = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') continue;
        visit(index++, bytes.sliced(start, i - start));
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n) visit(index, bytes.sliced(start));
}

std::array<double, 12> monthlyTotals(QByteArrayView ledger, const QString &yearText) {
    std::array<double, 12> sums{};
    // The year box always holds four digits; any other text names no year of the ledger.
    const QString yearKey = fmt::copyChars(yearText, 3, 2);
    if (yearKey.size() != 2) return sums;
    const QByteArray key = yearKey.toLatin1();
    forEachLine(ledger, [&](qsizetype index, QByteArrayView line) {
        if (index == 0 || !line.startsWith(key)) return; // the header never counts
        const int month = fmt::toInt(textOf(chars(line, 3, 2)));
        // A damaged or hand-edited line may name a month that does not exist.
        if (month < 1 || month > 12) return;
        sums[month - 1] += amountOf(line);
    });
    return sums;
}

double rangeTotal(QByteArrayView ledger, const QDate &from, const QDate &to) {
    double sum = 0;
    // Dates compared as numbers yyyymmdd, in the same order as the dates themselves.
    const auto ordinal = [](int y, int m, int d) { return y * 10000 + m * 100 + d; };
    const int first = ordinal(from.year(), from.month(), from.day());
    const int last = ordinal(to.year(), to.month(), to.day());
    forEachLine(ledger, [&](qsizetype, QByteArrayView line) {
        // Only a line of exactly 15 characters is a record: six key digits, "|" and eight
        // amount characters. The header, blank and space-filled lines and amounts of 10000 or
        // more never count.
        if (line.size() != 15) return;
        const int yy = intOrZero(line.sliced(0, 2));
        const int mm = intOrZero(line.sliced(2, 2));
        const int dd = intOrZero(line.sliced(4, 2));
        if (mm < 1 || mm > 12 || dd < 1 || dd > 31) return; // dated before any range
        if (!QDate::isValid(2000 + yy, mm, dd))
            throw EDateError(
                QStringLiteral("Invalid date '%1' in the ledger").arg(textOf(line.sliced(0, 6))));
        const int date = ordinal(2000 + yy, mm, dd);
        if (date < first || date > last) return;
        sum += amountOf(line);
    });
    return sum;
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
    forEachLine(ledger, [&](qsizetype index, QByteArrayView line) {
        if (index == 0 || !line.startsWith(key)) return; // the header is never a record
        const int day = fmt::toInt(textOf(chars(line, 5, 2)));
        // A damaged or hand-edited line may name a day that no month has.
        if (day < 1 || day > 31) return;
        values[day - 1] = amountOf(line);
    });
    return values;
}

} // namespace tarv::stats
