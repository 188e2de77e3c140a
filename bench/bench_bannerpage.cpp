// The light banner view's worst cases within its limits: for each page, the time to check and
// parse it, decode its pictures, lay it out at the banner's width and draw it, the work the GUI
// thread does when such a page arrives. Prints the slowest of five runs for each.
#include "shell/bannerpage.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <cstdio>

using namespace tarv;

namespace {

QByteArray repeat(const QByteArray &piece, int times) {
    QByteArray out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

QByteArray png(int side) {
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", 0);
    return bytes;
}

double once(const BannerArchive &page, bool &accepted) {
    QElapsedTimer t;
    t.start();
    std::unique_ptr<BannerDocument> document = parseBannerPage(page);
    accepted = document && loadBannerPictures(*document, page);
    if (accepted) {
        document->setTextWidth(261);
        (void)document->documentLayout()->documentSize();
        QImage canvas(261, 168, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&canvas);
        document->drawContents(&painter, QRectF(0, 0, 261, 168));
    }
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const QByteArray picture = png(1000);
    QByteArray pictures;
    for (int i = 0; i < 4; ++i)
        pictures +=
            "<img src=\"data:image/png;n=" + QByteArray::number(i) + ";base64," + picture.toBase64() + "\">";
    const QByteArray tables6 = repeat("<table><tr><td>a</td><td>", 6);
    const struct {
        const char *name;
        QByteArray body;
    } pages[] = {
        {"tables 6 deep, 60 paragraphs at the bottom", tables6 + repeat("<p>b</p>", 60)},
        {"tables 7 deep (refused)", repeat("<table><tr><td>", 7) + "x"},
        {"1000 nested divisions, never closed", repeat("<div>", 1000) + "x"},
        {"500 nested lists, never closed", repeat("<ul><li>", 500) + "x"},
        {"1000 flat cells", "<table><tr>" + repeat("<td>c", 1000) + "</table>"},
        {"100 KiB of text in tables 5 deep", repeat("<table><tr><td>", 5) + QByteArray(100 * 1024, 'w')},
        {"250 KiB of words", repeat("word ", 50000)},
        {"four pictures of 1000 x 1000", pictures},
        {"elements with long style attributes",
         repeat("<p style=\"" + repeat("color:red;", 100) + "\">s</p>", 200)},
    };
    for (const auto &p : pages) {
        BannerArchive page;
        page.location = QUrl(QStringLiteral("http://maker.test/"));
        page.html = "<html><body>" + p.body + "</body></html>";
        page.charset = "utf-8";
        double worst = 0;
        bool accepted = false;
        for (int run = 0; run < 5; ++run)
            worst = std::max(worst, once(page, accepted));
        std::printf("%-45s %7lld bytes  %s  %8.1f ms\n", p.name, (long long)page.html.size(),
                    accepted ? "shown  " : "refused", worst);
    }
    return 0;
}
