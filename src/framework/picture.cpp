#include "framework/picture.h"

#include <QImageReader>

namespace tarv {

QPixmap readPicture(const QString &path) {
    const QString format = path.section(QLatin1Char('.'), -1).toLower();
    QImageReader reader(path, format.toLatin1());
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace tarv
