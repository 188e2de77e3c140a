#include "options/dialoglook.h"

#include "framework/regions.h"

#include <QPainter>
#include <QWidget>

// Resources of a static library are registered by hand; this must happen outside any namespace.
static void registerDialogResources() {
    Q_INIT_RESOURCE(options);
}

namespace tarv {

QFont dialogHeadingFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")});
    font.setPixelSize(13);
    font.setBold(true);
    return font;
}

QFont dialogPlainFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    font.setPixelSize(11);
    return font;
}

QPixmap dialogBackground() {
    registerDialogResources();
    return QPixmap(QStringLiteral(":/options/options_background.png"));
}

void roundDialogOutline(QWidget *dialog) {
    dialog->setMask(roundRectRegion(0, 0, dialog->width(), dialog->height(), 60, 60));
}

void paintDialogBackground(QWidget *dialog, const QPixmap &background) {
    QPainter p(dialog);
    if (!background.isNull())
        p.drawPixmap(dialog->rect(), background);
    else
        p.fillRect(dialog->rect(), dialog->palette().window());
}

} // namespace tarv
