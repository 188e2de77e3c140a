// The light view's limits: what a hostile page can make Qt's rich-text engine do is bounded
// before the page is laid out.
#include "shell/bannerpage.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace tarv;

namespace {

QString repeat(const QString &piece, int times) {
    QString out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

QString nestedTables(int levels, const QString &inner = QStringLiteral("x")) {
    return repeat(QStringLiteral("<table><tr><td>"), levels) + inner +
           repeat(QStringLiteral("</td></tr></table>"), levels);
}

BannerArchive pageOf(const QString &body) {
    BannerArchive page;
    page.location = QUrl(QStringLiteral("http://maker.test/index.html"));
    page.html = ("<html><body>" + body + "</body></html>").toUtf8();
    page.charset = "utf-8";
    return page;
}

// A bitmap's header alone: its size is read from it, and nothing is there to decode.
QByteArray bitmapHeader(int width, int height) {
    QByteArray b(54, '\0');
    auto put32 = [&b](int at, qint32 v) { qToLittleEndian(v, b.data() + at); };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    qToLittleEndian(quint16(1), b.data() + 26);
    qToLittleEndian(quint16(24), b.data() + 28);
    return b;
}

QByteArray png(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString dataImage(const QByteArray &bytes, int n = 0) {
    return QStringLiteral("<img src=\"data:image/bmp;n=%1;base64,%2\">")
        .arg(n)
        .arg(QString::fromLatin1(bytes.toBase64()));
}

} // namespace

TEST(BannerLimits, PagesBeyondTheLimitsAreRefusedBeforeLayout) {
    const struct {
        const char *what;
        QString body;
        bool shown;
    } cases[] = {
        {"a plain page", QStringLiteral("<p>Γειά <b>σας</b></p>"), true},
        {"tables six deep", nestedTables(6), true},
        {"tables seven deep", nestedTables(7), false},
        {"twenty levels, under 1 KB", nestedTables(20), false},
        {"long text deep in tables", nestedTables(6, QString(40000, QLatin1Char('y'))), false},
        {"a thousand paragraphs", repeat(QStringLiteral("<p>a</p>"), 600), false},
        {"deep divisions", repeat(QStringLiteral("<div>"), 1100), false},
        {"a small span", QStringLiteral("<table><tr><td colspan=3>x</td></tr></table>"), true},
        {"a huge span", QStringLiteral("<table><tr><td colspan=1000000>x</td></tr></table>"), false},
        {"a span in references",
         QStringLiteral("<table><tr><td col&#115;pan=&#57;&#57;&#57;>x</td></tr></table>"), false},
        {"a huge row span", QStringLiteral("<table><tr><td rowspan=\"  999\">x</td></tr></table>"), false},
        {"a picture drawn huge", QStringLiteral("<img width=100000 height=100000 src=a.png>"), false},
        {"over the page's size", QString(BannerLimits::kMaxPageBytes, QLatin1Char('z')), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parseBannerPage(pageOf(c.body)) != nullptr, c.shown) << c.what;
}

TEST(BannerLimits, StyleSheetsAreLeftOutAndStyleAttributesKept) {
    // Thousands of selectors against every element: the sheet goes, in whatever spelling.
    const QString sheet = repeat(QStringLiteral("div div div p.c{color:red}\n"), 3000);
    for (const QString &open : {QStringLiteral("<style>"), QStringLiteral("< STYLE type=text/css>")}) {
        const auto document = parseBannerPage(
            pageOf(open + sheet + QStringLiteral("</style><p style=\"color:#00ff00\">ok</p>")));
        ASSERT_NE(document, nullptr);
        EXPECT_EQ(document->toPlainText().trimmed(), QStringLiteral("ok"));
        EXPECT_TRUE(document->toHtml().contains(QLatin1String("#00ff00")));
    }
    // A removal that would join two pieces into a new sheet refuses the page.
    EXPECT_EQ(parseBannerPage(pageOf(QStringLiteral("<<style></style>style>p{}</style>"))), nullptr);
}

TEST(BannerLimits, PicturesAreMeasuredFromTheirHeadersBeforeDecoding) {
    const QByteArray small = png(8, 6);
    const struct {
        const char *what;
        QString body;
        bool shown;
        int decoded;
    } cases[] = {
        {"a small picture", dataImage(small), true, 1},
        {"the same picture twice", dataImage(small) + dataImage(small), true, 1},
        {"a header claiming 16000 x 16000", dataImage(bitmapHeader(16000, 16000)), false, 0},
        {"one side too long", dataImage(bitmapHeader(4000, 10)), false, 0},
        {"five of a million pixels",
         [] {
             QString s;
             for (int i = 0; i < 5; ++i)
                 s += dataImage(bitmapHeader(1000, 1000), i);
             return s;
         }(),
         false, 0},
        {"a picture that is no picture", QStringLiteral("<img src=\"data:image/png;base64,AAAA\">"), true, 0},
    };
    for (const auto &c : cases) {
        const BannerArchive page = pageOf(c.body);
        const auto document = parseBannerPage(page);
        ASSERT_NE(document, nullptr) << c.what;
        EXPECT_EQ(loadBannerPictures(*document, page), c.shown) << c.what;
        if (!c.shown) continue;
        int decoded = 0;
        for (const QUrl &picture : bannerPictures(*document))
            decoded +=
                document->resource(QTextDocument::ImageResource, picture).value<QImage>().isNull() ? 0 : 1;
        EXPECT_EQ(decoded, c.decoded) << c.what;
    }

    // A picture the page's archive holds is served from it; nothing else is read from anywhere.
    BannerArchive page = pageOf(QStringLiteral("<img src=\"pic.png\"><img src=\"file:///etc/hostname\">"));
    page.resources.append({QUrl(QStringLiteral("http://maker.test/pic.png")), "image/png", small});
    const auto document = parseBannerPage(page);
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(loadBannerPictures(*document, page));
    EXPECT_EQ(document->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("pic.png")))
                  .value<QImage>()
                  .size(),
              QSize(8, 6));
    EXPECT_FALSE(
        document->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("file:///etc/hostname")))
            .isValid());
}
