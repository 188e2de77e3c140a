// The light banner view's page handling: the checks that keep a hostile page from freezing the
// program or filling its memory, before and after Qt's rich-text engine parses it.
#include "shell/bannerpage.h"

#include "framework/textformat.h"

#include <QBuffer>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextTable>
#include <vector>

namespace tarv {

namespace {

// Style sheets are left out of the light view: matching a sheet's selectors against the page
// costs their number times the elements times the depth, which a few kilobytes can make
// minutes. What the elements' own "style" attributes say is kept. Every "<style" that Qt could
// read as the start of a sheet goes with everything up to the sheet's end; null when one is
// left over all the same (the removal joined two pieces into a new one).
QString withoutStyleSheets(const QString &text) {
    static const QRegularExpression sheet(QStringLiteral("<\\s*style.*?(<\\s*/\\s*style[^>]*>|$)"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression start(QStringLiteral("<\\s*style"),
                                          QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    out.remove(sheet);
    return out.contains(start) ? QString() : out;
}

// Whether every table cell's span is small. The attribute's value is read after numeric
// character references are replaced, since Qt reads "col&#115;pan" as "colspan" too.
bool spansWithinLimits(const QString &text) {
    static const QRegularExpression reference(QStringLiteral("&#([xX][0-9a-fA-F]{1,6}|[0-9]{1,7});?"));
    static const QRegularExpression span(QStringLiteral("span[\\s=\"'+]*([^\\s=\"'+]{0,4})"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString plain;
    plain.reserve(text.size());
    qsizetype at = 0;
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        plain += QStringView(text).mid(at, m.capturedStart() - at);
        const QString number = m.captured(1);
        bool ok = false;
        const uint code = number.startsWith(QLatin1Char('x'), Qt::CaseInsensitive)
                              ? number.mid(1).toUInt(&ok, 16)
                              : number.toUInt(&ok);
        plain += ok && code > 0 && code < 0x80 ? QChar(char16_t(code)) : QChar(u'\xFFFD');
        at = m.capturedEnd();
    }
    plain += QStringView(text).mid(at);
    for (auto it = span.globalMatch(plain); it.hasNext();) {
        const QString value = it.next().captured(1);
        qsizetype digits = 0;
        while (digits < value.size() && value.at(digits).isDigit())
            ++digits;
        // A value that does not start with digits is read as no span at all.
        if (digits > 3) return false;
        if (digits > 0 && value.left(digits).toInt() > BannerLimits::kMaxSpan) return false;
    }
    return true;
}

// Walks the parsed document's frames and blocks: nested tables, the layout's work, and the size
// pictures are drawn at.
bool structureWithinLimits(const QTextDocument &document) {
    struct Level {
        QTextFrame *frame;
        int tables;
    };
    std::vector<Level> pending{{document.rootFrame(), 0}};
    qint64 weight = 0;
    while (!pending.empty()) {
        const Level level = pending.back();
        pending.pop_back();
        for (auto it = level.frame->begin(); !it.atEnd(); ++it) {
            if (QTextFrame *child = it.currentFrame()) {
                const int tables = level.tables + (qobject_cast<QTextTable *>(child) ? 1 : 0);
                if (tables > BannerLimits::kMaxTableDepth) return false;
                pending.push_back({child, tables});
                continue;
            }
            const QTextBlock block = it.currentBlock();
            // Long text costs in proportion to its length at every level it is measured at.
            weight += (1 + block.length() / 256) << level.tables;
            if (weight > BannerLimits::kMaxLayoutWeight) return false;
            for (auto f = block.begin(); !f.atEnd(); ++f) {
                const QTextCharFormat format = f.fragment().charFormat();
                if (!format.isImageFormat()) continue;
                const QTextImageFormat image = format.toImageFormat();
                if (image.width() > BannerLimits::kMaxPictureSide ||
                    image.height() > BannerLimits::kMaxPictureSide)
                    return false;
            }
        }
    }
    return true;
}

QByteArray dataUrlBytes(const QUrl &url) {
    // "data:[type][;base64],payload"
    const QByteArray rest = url.toString(QUrl::FullyEncoded).toLatin1().mid(5);
    const qsizetype comma = rest.indexOf(',');
    if (comma < 0) return {};
    const QByteArray payload = QByteArray::fromPercentEncoding(rest.mid(comma + 1));
    return rest.left(comma).endsWith(";base64") ? QByteArray::fromBase64(payload) : payload;
}

QString keyOf(const QUrl &url) {
    return url.toString(QUrl::FullyEncoded);
}

} // namespace

void BannerDocument::addPicture(const QUrl &address, const QImage &image) {
    m_pictures.insert(keyOf(address), image);
}

QVariant BannerDocument::loadResource(int type, const QUrl &name) {
    if (type != QTextDocument::ImageResource) return {};
    const auto it = m_pictures.constFind(keyOf(baseUrl().resolved(name)));
    return it == m_pictures.cend() ? QVariant() : QVariant(*it);
}

QByteArray bannerCharsetOf(const QByteArray &type) {
    static const QRegularExpression pattern(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9_.:-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(type));
    return m.hasMatch() ? m.captured(1).toLatin1().toLower() : QByteArray();
}

QString decodeBannerPage(const BannerArchive &page) {
    // The Greek code page is converted by the program itself: the Windows build has no
    // converter of its own for it.
    QByteArray charset = page.charset.toLower();
    if (charset.isEmpty()) charset = bannerCharsetOf(page.html.left(4096));
    if (charset == "windows-1253" || charset == "cp1253" || charset == "x-cp1253")
        return fmt::fromCp1253(page.html);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid()) return decoder.decode(page.html);
    }
    QStringDecoder decoder = QStringDecoder::decoderForHtml(page.html);
    if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Latin1);
    return decoder.decode(page.html);
}

std::unique_ptr<BannerDocument> parseBannerPage(const BannerArchive &page) {
    if (page.html.size() > BannerLimits::kMaxPageBytes) return nullptr;
    const QString text = withoutStyleSheets(decodeBannerPage(page));
    if (text.isNull() || text.count(QLatin1Char('<')) > BannerLimits::kMaxMarkup || !spansWithinLimits(text))
        return nullptr;
    auto document = std::make_unique<BannerDocument>();
    document->setBaseUrl(page.location);
    document->setHtml(text);
    if (!structureWithinLimits(*document)) return nullptr;
    return document;
}

QList<QUrl> bannerPictures(const QTextDocument &document) {
    QList<QUrl> pictures;
    QSet<QString> seen;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat()) continue;
            const QUrl picture = document.baseUrl().resolved(QUrl(format.toImageFormat().name()));
            if (!seen.contains(keyOf(picture))) {
                seen.insert(keyOf(picture));
                pictures << picture;
            }
        }
    }
    return pictures;
}

bool loadBannerPictures(BannerDocument &document, const BannerArchive &page) {
    // An archive may hold any number of parts: they are looked up by address, not searched.
    QHash<QString, QByteArray> parts;
    for (const BannerArchive::Resource &r : page.resources)
        parts.insert(keyOf(r.location), r.data);
    qint64 total = 0;
    for (const QUrl &address : bannerPictures(document)) {
        const QByteArray bytes =
            address.scheme() == QLatin1String("data") ? dataUrlBytes(address) : parts.value(keyOf(address));
        if (bytes.isEmpty()) continue;
        QByteArray data = bytes;
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        // Only the common bitmap formats: drawing a vector picture can take any time at all.
        static const QList<QByteArray> formats = {"png", "jpeg", "jpg", "gif", "bmp"};
        if (!formats.contains(reader.format().toLower())) continue;
        const QSize size = reader.size();
        if (!size.isValid()) continue;
        const qint64 pixels = qint64(size.width()) * size.height();
        total += pixels;
        if (size.width() > BannerLimits::kMaxPictureSide || size.height() > BannerLimits::kMaxPictureSide ||
            pixels > BannerLimits::kMaxPicturePixels || total > BannerLimits::kMaxTotalPixels)
            return false;
        const QImage image = reader.read();
        // A picture whose data disagrees with its header is not shown.
        if (image.isNull() || image.width() > size.width() || image.height() > size.height()) continue;
        document.addPicture(address, image);
    }
    return true;
}

qint64 bannerArchiveBytes(const BannerArchive &page) {
    qint64 bytes = page.html.size();
    for (const BannerArchive::Resource &r : page.resources)
        bytes += r.data.size();
    return bytes;
}

} // namespace tarv
