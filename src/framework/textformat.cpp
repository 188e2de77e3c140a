#include "framework/textformat.h"

#include "framework/errors.h"

#include <QStringDecoder>
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
// "best fit" look-alike), a byte the code page leaves undefined reads as U+FFFD, and 0xAA stands
// for U+00AA both ways. Each UTF-16 unit passed to the system becomes one byte and back, so the
// results can be corrected position by position.
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

QString fromCp1253(const QByteArray &bytes) {
    if (bytes.isEmpty()) return {};
    const int length = int(bytes.size());
    const int size = ::MultiByteToWideChar(1253, 0, bytes.constData(), length, nullptr, 0);
    QString text(size, Qt::Uninitialized);
    ::MultiByteToWideChar(1253, 0, bytes.constData(), length, reinterpret_cast<wchar_t *>(text.data()), size);
    // The system reads the undefined bytes as private-use characters.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0xE000 || c > 0xF8FF) continue;
        const bool feminine = text.size() == bytes.size() && uchar(bytes.at(i)) == 0xAA;
        text[i] = feminine ? QChar(0xAA) : QChar(QChar::ReplacementCharacter);
    }
    return text;
}
#else
QByteArray toCp1253(const QString &text) {
    QStringEncoder encoder("windows-1253");
    return encoder.encode(text);
}

QString fromCp1253(const QByteArray &bytes) {
    QStringDecoder decoder("windows-1253");
    return decoder.decode(bytes);
}
#endif

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
