#include "framework/errors.h"
#include "framework/textformat.h"

#include <QStringDecoder>
#include <gtest/gtest.h>

using namespace tarv;

TEST(TextFormat, NumbersInTheGreekLocale) {
    const QLocale el(QLocale::Greek, QLocale::Greece);
    struct Row { double v; const char *general; const char *ledger; const char *two; };
    const Row rows[] = {
        {0, "0", "0000,000", "0,00"},
        {9, "9", "0009,000", "9,00"},
        {9.5, "9,5", "0009,500", "9,50"},
        {27, "27", "0027,000", "27,00"},
        {1234.5, "1234,5", "1234,500", "1234,50"},
        {12345.25, "12345,25", "12345,250", "12345,25"},
        {0.1 + 0.2, "0,3", "0000,300", "0,30"},
        {7.005, "7,005", "0007,005", "7,00"},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(fmt::general(r.v, el), QString::fromUtf8(r.general)) << r.v;
        EXPECT_EQ(fmt::ledgerAmount(r.v, el), QString::fromUtf8(r.ledger)) << r.v;
        EXPECT_EQ(fmt::twoDecimals(r.v, el), QString::fromUtf8(r.two)) << r.v;
    }
}

TEST(TextFormat, ReadsEitherDecimalSeparator) {
    EXPECT_DOUBLE_EQ(fmt::toDouble("0027,000"), 27.0);
    EXPECT_DOUBLE_EQ(fmt::toDouble("0027.500"), 27.5);
    EXPECT_DOUBLE_EQ(fmt::toDouble(" 7,50 "), 7.5);
    EXPECT_DOUBLE_EQ(fmt::toDouble("12345,000"), 12345.0);
    for (const char *bad : {"", "   ", "abc", "1,2,3", "1.234,5", "nan", "inf", "12x"})
        EXPECT_THROW(fmt::toDouble(QString::fromLatin1(bad)), EConvertError) << bad;
    EXPECT_EQ(fmt::toInt(" 22 "), 22);
    EXPECT_THROW(fmt::toInt(""), EConvertError);
    EXPECT_THROW(fmt::toInt("2,5"), EConvertError);
}

TEST(TextFormat, DatesTimesAndKeys) {
    const QLocale el(QLocale::Greek, QLocale::Greece);
    EXPECT_EQ(fmt::shortDate(QDate(2001, 3, 15), el), QStringLiteral("15/3/01"));
    const QString t = fmt::longTime(QTime(14, 7, 9), el);
    EXPECT_TRUE(t.startsWith(QStringLiteral("2:07:09"))) << t.toStdString();
    EXPECT_FALSE(t.contains(QStringLiteral("UTC")));
    EXPECT_EQ(fmt::dayKey(QDate(2001, 3, 15)), QStringLiteral("010315"));
    EXPECT_EQ(fmt::dayKey(QDate(2010, 12, 1)), QStringLiteral("101201"));
}

TEST(TextFormat, CopyCharsAndCodePage) {
    EXPECT_EQ(fmt::copyChars("abcdef", 2, 3), QStringLiteral("bcd"));
    EXPECT_EQ(fmt::copyChars("abcdef", 4, 0), QStringLiteral("def"));
    EXPECT_EQ(fmt::copyChars("abcdef", 7, 1), QString());
    EXPECT_EQ(fmt::copyChars("abcdef", 1, -1), QString());
    EXPECT_EQ(fmt::copyChars("abc", 2, 99), QStringLiteral("bc"));
}

// The ledger and the pop-up file must hold the same bytes whichever system wrote them, so both
// conversions are held to one table here (the Windows build converts through the system).
TEST(TextFormat, CodePageBytesAreTheSameEverywhere) {
    const struct {
        const char *utf8;
        QByteArray bytes;
    } rows[] = {
        {"Δρχ", "\xC4\xF1\xF7"},
        {"8|22|270|540|9|Δρχ", "8|22|270|540|9|\xC4\xF1\xF7"},
        {"Αρχική σελίδα", "\xC1\xF1\xF7\xE9\xEA\xDE \xF3\xE5\xEB\xDF\xE4\xE1"},
        {"ΆΈΉΊΌΎΏ ΐΰϊϋ", "\xA2\xB8\xB9\xBA\xBC\xBE\xBF \xC0\xE0\xFA\xFB"},
        {"€ ’ « » ς Ω", "\x80 \x92 \xAB \xBB \xF2 \xD9"},
        // Characters the code page lacks become one 0x1A each, never a look-alike.
        {"x日😀Āy", "x\x1A\x1A\x1Ay"},
        {"", ""},
    };
    for (const auto &r : rows) {
        const QString text = QString::fromUtf8(r.utf8);
        EXPECT_EQ(fmt::toCp1253(text).toHex(' '), r.bytes.toHex(' ')) << r.utf8;
        if (!r.bytes.contains('\x1A')) {
            EXPECT_EQ(fmt::fromCp1253(r.bytes), text) << r.utf8;
        }
    }
    // Every other byte reads as a character that writes back as the same byte; the two
    // undefined ones read as the replacement character.
    for (int b = 0x01; b <= 0xFF; ++b) {
        if (b == 0xD2 || b == 0xFF) continue;
        const QByteArray one(1, char(b));
        EXPECT_EQ(fmt::toCp1253(fmt::fromCp1253(one)), one) << b;
    }
    EXPECT_EQ(fmt::fromCp1253("\xD2\xFF"), QString(2, QChar::ReplacementCharacter));
    EXPECT_EQ(fmt::fromCp1253("\xAA"), QString(QChar(0xAA)));
#ifndef Q_OS_WIN
    // The reading table against the converter that writes.
    QByteArray all(256, '\0');
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    EXPECT_EQ(fmt::fromCp1253(all), QStringDecoder("windows-1253").decode(all));
#endif
}
