#pragma once

#include "shell/bannerarchive.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QTextDocument>
#include <QUrl>
#include <memory>

namespace tarv {

// The bounds within which the light banner view lays a page out. The page comes over plain HTTP
// and is laid out on the GUI thread, where the meter ticks: Qt's rich-text engine takes time
// that doubles with every level of nested tables and grows with the square of the nesting
// depth, and decodes pictures at whatever size their headers claim. A page beyond any of these
// bounds is refused whole (neither shown nor saved); a banner of 261 by 168 pixels needs a
// small fraction of each.
struct BannerLimits {
    // The page's text, the largest picture fetched, and the page with its pictures together.
    static constexpr qint64 kMaxPageBytes = 256 * 1024;
    static constexpr qint64 kMaxPictureBytes = 512 * 1024;
    static constexpr qint64 kMaxArchiveBytes = 2 * 1024 * 1024;
    // A saved copy carries its pictures in base64, a third larger.
    static constexpr qint64 kMaxSavedCopyBytes = kMaxArchiveBytes * 3 / 2;
    static constexpr int kMaxPictures = 32;
    // Markup: every element starts with "<", so this bounds the elements and their depth.
    static constexpr int kMaxMarkup = 1024;
    // A table cell spanning more columns or rows than this makes Qt build that many cells.
    static constexpr int kMaxSpan = 64;
    // Tables inside tables, and the layout's work: every block costs 2 to the power of the
    // number of tables around it, as the layout measures nested cells again at every level.
    static constexpr int kMaxTableDepth = 6;
    static constexpr qint64 kMaxLayoutWeight = 4096;
    // Pictures: each one's size as its header gives it, the pixels of all together, and the
    // size a picture may be drawn at.
    static constexpr int kMaxPictureSide = 2048;
    static constexpr qint64 kMaxPicturePixels = 1024 * 1024;
    static constexpr qint64 kMaxTotalPixels = 4 * 1024 * 1024;
};

// A page's document: serves the pictures decoded under the limits and nothing else, so that
// laying it out reads neither the disk nor the network and decodes nothing.
class BannerDocument final : public QTextDocument {
public:
    using QTextDocument::QTextDocument;
    void addPicture(const QUrl &address, const QImage &image);

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    QHash<QString, QImage> m_pictures;
};

// The character set a "Content-Type" value names, in small letters (empty when it names none).
QByteArray bannerCharsetOf(const QByteArray &contentType);

// The page's text in its character set (the one the server or the page names).
QString decodeBannerPage(const BannerArchive &page);

// Parses the page into a document whose base is the page's address; null when the page is over
// the limits. Pictures are not decoded yet: see loadBannerPictures.
std::unique_ptr<BannerDocument> parseBannerPage(const BannerArchive &page);

// The addresses of the pictures the document shows, resolved against its base, each once.
QList<QUrl> bannerPictures(const QTextDocument &document);

// Decodes the pictures the document shows from the page's parts and from "data:" addresses,
// each one's size checked from its header first. False when a picture or all of them together
// are over the limits; a picture that is missing or unreadable is just not shown.
bool loadBannerPictures(BannerDocument &document, const BannerArchive &page);

// The whole page's bytes, text and parts, as held in memory.
qint64 bannerArchiveBytes(const BannerArchive &page);

} // namespace tarv
