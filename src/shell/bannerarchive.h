#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

namespace tarv {

// A page with the pictures it shows, kept in one file as a MIME "multipart/related" archive
// (the layout browsers use for a saved web page). The light banner view writes its saved copies
// this way and reads them back, and it also reads copies in this layout that others wrote.
struct BannerArchive {
    struct Resource {
        QUrl location;
        QByteArray type;
        QByteArray data;
    };

    // The page's address and its text as the server sent it, with the character set it was
    // read in (may be empty: then the page says it, or it is guessed).
    QUrl location;
    QByteArray html;
    QByteArray charset;
    QList<Resource> resources;

    QByteArray toBytes() const;
    // False when bytes hold no archive with a page in it; archive is then left unspecified.
    static bool fromBytes(const QByteArray &bytes, BannerArchive &archive);
};

} // namespace tarv
