// Feeds arbitrary bytes to the light banner view's page handling, as a saved copy (a MIME
// archive) or as a page the server sent: the limits, the parse, the pictures, then the layout
// and the drawing of whatever was accepted. A page that is accepted must lay out in bounded
// time and memory, which the fuzzer's time and memory limits check.
#include "shell/bannerpage.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdint>

using namespace tarv;

namespace {

// Text layout needs fonts, which need a GUI application; no display is used.
void guiApplication() {
    static QGuiApplication *app = [] {
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    guiApplication();
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    BannerArchive page;
    if (!BannerArchive::fromBytes(bytes, page)) {
        page = BannerArchive();
        page.html = bytes;
    }
    if (page.location.isEmpty())
        page.location = QUrl(QStringLiteral("http://maker.test/services/tarv/index.asp"));
    const std::unique_ptr<BannerDocument> document = parseBannerPage(page);
    if (!document || !loadBannerPictures(*document, page)) return 0;
    document->setTextWidth(261);
    (void)document->documentLayout()->documentSize();
    static QImage canvas(261, 168, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    document->drawContents(&painter, QRectF(0, 0, 261, 168));
    return 0;
}
