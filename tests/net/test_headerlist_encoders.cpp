#include "net/encoders.h"
#include "net/headerlist.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace tarv;

TEST(HeaderList, SetHeaderFindsNamesWithoutRegardToCaseAndKeepsOrder) {
    THeaderList h;
    h.Add("GET / HTTP/1.0");
    h.Add("host: old");
    h.Add("Accept: */*");
    h.SetHeader("HOST", "new");
    ASSERT_EQ(h.Count(), 3);
    EXPECT_EQ(h[1], "HOST: new"); // rewritten in place, carrying the name as passed
    h.SetHeader("User-Agent", "x");
    EXPECT_EQ(h[3], "User-Agent: x");
    // A line without a colon never matches, even when it starts like the name.
    EXPECT_EQ(h.FindHeader("GET / HTTP/1.0"), -1);
    EXPECT_EQ(h.FindHeader("Accept"), 2);
    EXPECT_EQ(h.FindHeader("Acc"), -1);
}

TEST(HeaderList, EmptyValueDeletesTheLineOrDoesNothing) {
    THeaderList h;
    h.Add("Cookie: a=1");
    h.Add("Referer: r");
    h.SetHeader("cookie", "");
    ASSERT_EQ(h.Count(), 1);
    EXPECT_EQ(h[0], "Referer: r");
    h.SetHeader("From", "");
    EXPECT_EQ(h.Count(), 1);
}

namespace {
QByteArray encode(const QByteArray &input, UUMethods method) {
    QByteArray in = input, out;
    QBuffer inStream(&in), outStream(&out);
    inStream.open(QIODevice::ReadOnly);
    outStream.open(QIODevice::ReadWrite);
    TStreamEncoder e;
    e.Method = method;
    e.InputStream = &inStream;
    e.OutputStream = &outStream;
    QStringList events;
    e.OnBeginEncode = [&](QObject *) { events << "begin"; };
    e.OnEndEncode = [&](QObject *) { events << QString("end@%1").arg(outStream.pos()); };
    e.Encode();
    EXPECT_EQ(events, QStringList({"begin", "end@0"}));
    return out;
}
} // namespace

TEST(StreamEncoder, Base64LinesOf45BytesWithPadding) {
    EXPECT_EQ(encode("a:b", uuMime), "YTpi\r\n");
    EXPECT_EQ(encode("a", uuMime), "YQ==\r\n");
    EXPECT_EQ(encode("ab", uuMime), "YWI=\r\n");
    const QByteArray long50(50, 'x');
    const QByteArray expected =
        QByteArray(45, 'x').toBase64() + "\r\n" + QByteArray(5, 'x').toBase64() + "\r\n";
    EXPECT_EQ(encode(long50, uuMime), expected);
    EXPECT_EQ(TStreamEncoder::base64Token(long50), long50.toBase64());
    EXPECT_EQ(TStreamEncoder::base64Token("a:b"), "YTpi");
}

TEST(StreamEncoder, UuencodeHasLengthCharacterAndClosingLine) {
    // "Cat" is the classic example: length 3 -> '#', then "0V%T".
    EXPECT_EQ(encode("Cat", uuCode), "#0V%T\r\n`\r\n");
    // Zero bits are written as the grave accent, and a short group gets no padding.
    EXPECT_EQ(encode(QByteArray(1, '\0'), uuCode), "!``\r\n`\r\n");
    EXPECT_TRUE(encode(QByteArray(45, 'a'), uuCode).startsWith('M'));
}

TEST(UrlEncoder, KeepsLettersDigitsAndSlashEncodesTheRest) {
    TUrlEncoder e;
    e.InputString = "a b/c=1&d~Z9";
    EXPECT_EQ(e.Encode(), "a+b/c%3D1%26d%7EZ9");
    e.InputString = QString::fromUtf8("ά");
    EXPECT_EQ(e.Encode(), "%CE%AC");
}
