// Renders one of the program's SVG pictures to the image file that ships with it.
//   picturegen <input.svg> <output.jpg|.png> <width> <height>
// JPEG and PNG outputs are opaque 24-bit pictures on black unless the name ends in ".alpha.png",
// which keeps transparency (the tray telephones).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: picturegen input.svg output width height\n");
        return 2;
    }
    // Text in the pictures needs the font database, which needs a GUI application; no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    const int width = QString::fromLatin1(argv[3]).toInt();
    const int height = QString::fromLatin1(argv[4]).toInt();

    QSvgRenderer svg(input);
    if (!svg.isValid() || width <= 0 || height <= 0) {
        std::fprintf(stderr, "picturegen: cannot render %s\n", argv[1]);
        return 1;
    }
    const bool alpha = output.endsWith(QLatin1String(".alpha.png"));
    QImage image(width, height, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.fill(alpha ? Qt::transparent : Qt::black);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        svg.render(&p, QRectF(0, 0, width, height));
    }
    if (!alpha) image = image.convertToFormat(QImage::Format_RGB888);
    const bool jpeg = output.endsWith(QLatin1String(".jpg"));
    if (!image.save(output, jpeg ? "JPEG" : "PNG", jpeg ? 94 : -1)) {
        std::fprintf(stderr, "picturegen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
