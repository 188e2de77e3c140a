#include "framework/textformat.h"

#include "framework/errors.h"

#include <QStringEncoder>
#include <cmath>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tarv::fmt {

namespace {

QLocale plain(const QLocale &locale) {
    QLocale l = locale;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l;
}

// Pads the integer part of a fixed-point text to the given number of digits.
QString padInteger(const QString &text, int digits, const QLocale &locale) {
    QString sign;
    QString body = text;
    const QString minus = locale.negativeSign();
    if (body.startsWith(minus)) {
        sign = minus;
        body = body.mid(minus.size());
    }
    int point = body.indexOf(locale.decimalPoint());
    if (point < 0) point = body.size();
    if (point < digits) body.prepend(QString(digits - point, locale.zeroDigit().at(0)));
    return sign + body;
}

} // namespace

QString general(double value, const QLocale &locale) {
    if (value == 0) return plain(locale).toString(0); // no "-0"
    return plain(locale).toString(value, 'g', 15);
}

QString ledgerAmount(double value, const QLocale &locale) {
    const QLocale l = plain(locale);
    return padInteger(l.toString(value, 'f', 3), 4, l);
}

QString twoDecimals(double value, const QLocale &locale) {
    return plain(locale).toString(value, 'f', 2);
}

QString shortDate(const QDate &date, const QLocale &locale) {
    return locale.toString(date, QLocale::ShortFormat);
}

QString longTime(const QTime &time, const QLocale &locale) {
    // Qt's long format names the time zone ("t"); the program shows the time with seconds only.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return locale.toString(time, format.trimmed());
}

double toDouble(const QString &text) {
    QString t = text.trimmed();
    // The ledger and the header may have been written under a locale with either separator.
    if (t.count(QLatin1Char(',')) + t.count(QLatin1Char('.')) <= 1) t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v) || t.isEmpty())
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return v;
}

int toInt(const QString &text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok) throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return v;
}

#ifdef Q_OS_WIN
// Qt for Windows comes without ICU here, so its encoders know no Windows code page: the system
// converts instead. The results are made to match what ICU gives on Linux, so that a ledger
// written on one system reads and compares the same on the other: a character the code page
// lacks becomes the byte 0x1A (one per character, even outside the 16-bit plane, and never a
// "best fit" look-alike), and U+00AA becomes 0xAA. Each UTF-16 unit passed to the system
// becomes one byte, so the result can be corrected position by position.
QByteArray toCp1253(const QString &text) {
    if (text.isEmpty()) return {};
    QString units;
    units.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            units.append(QChar::ReplacementCharacter);
            ++i;
        } else if (c.isSurrogate()) {
            units.append(QChar::ReplacementCharacter);
        } else {
            units.append(c);
        }
    }
    const auto *wide = reinterpret_cast<const wchar_t *>(units.utf16());
    const int length = int(units.size());
    char substitute[] = "\x1A";
    const int size = ::WideCharToMultiByte(1253, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, substitute, nullptr);
    QByteArray bytes(size, '\0');
    ::WideCharToMultiByte(1253, WC_NO_BEST_FIT_CHARS, wide, length, bytes.data(), size, substitute, nullptr);
    if (bytes.size() == units.size()) {
        for (qsizetype i = 0; i < units.size(); ++i)
            if (units.at(i).unicode() == 0xAA) bytes[i] = char(0xAA);
    }
    return bytes;
}

#else
QByteArray toCp1253(const QString &text) {
    QStringEncoder encoder("windows-1253");
    return encoder.encode(text);
}
#endif

// Reading is one table, the same on every system: the ledger is read at start-up and at every
// day's first tick, and the table spares loading a converter library for it. The bytes below
// 0x80 are themselves; 0xD2 and 0xFF, which the code page leaves undefined, read as U+FFFD.
QString fromCp1253(const QByteArray &bytes) {
    static constexpr char16_t kHigh[128] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x0088, 0x2030, 0x008A, 0x2039, 0x008C, 0x008D, 0x008E, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x0098, 0x2122, 0x009A, 0x203A, 0x009C, 0x009D, 0x009E, 0x009F,
        0x00A0, 0x0385, 0x0386, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
        0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x2015,
        0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x0384, 0x00B5, 0x00B6, 0x00B7,
        0x0388, 0x0389, 0x038A, 0x00BB, 0x038C, 0x00BD, 0x038E, 0x038F,
        0x0390, 0x0391, 0x0392, 0x0393, 0x0394, 0x0395, 0x0396, 0x0397,
        0x0398, 0x0399, 0x039A, 0x039B, 0x039C, 0x039D, 0x039E, 0x039F,
        0x03A0, 0x03A1, 0xFFFD, 0x03A3, 0x03A4, 0x03A5, 0x03A6, 0x03A7,
        0x03A8, 0x03A9, 0x03AA, 0x03AB, 0x03AC, 0x03AD, 0x03AE, 0x03AF,
        0x03B0, 0x03B1, 0x03B2, 0x03B3, 0x03B4, 0x03B5, 0x03B6, 0x03B7,
        0x03B8, 0x03B9, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BE, 0x03BF,
        0x03C0, 0x03C1, 0x03C2, 0x03C3, 0x03C4, 0x03C5, 0x03C6, 0x03C7,
        0x03C8, 0x03C9, 0x03CA, 0x03CB, 0x03CC, 0x03CD, 0x03CE, 0xFFFD
    };
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char c : bytes)
        *out++ = uchar(c) < 0x80 ? char16_t(uchar(c)) : kHigh[uchar(c) - 0x80];
    return text;
}

QString copyChars(const QString &text, int start, int count) {
    if (count == 0) count = 35000;
    if (count < 0) return QString();
    if (start < 1) start = 1;
    if (start > text.size()) return QString();
    return text.mid(start - 1, count);
}

QString dayKey(const QDate &date) {
    return QStringLiteral("%1%2%3")
        .arg(date.year() % 100, 2, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

} // namespace tarv::fmt
