#include "shell/vendormenu.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionMenuItem>
#include <algorithm>
#include <cmath>

namespace tarv {

namespace {

// The raw caption is kept beside the menu text, which needs "&" doubled to show it as it stands.
constexpr char captionProperty[] = "tarvCaption";

} // namespace

QAction *makeVendorMenuItem(const PopupItem &item, QObject *owner) {
    auto *action = new QAction(owner);
    const QString caption = item.separator ? QString() : item.caption + QLatin1String(vendorCaptionPadding);
    action->setProperty(captionProperty, caption);
    QString menuText = caption;
    menuText.replace(QLatin1Char('&'), QLatin1String("&&"));
    action->setText(menuText);
    action->setStatusTip(item.command);
    action->setEnabled(!item.separator);
    return action;
}

QString vendorItemCaption(const QAction *action) {
    return action ? action->property(captionProperty).toString() : QString();
}

QString vendorItemHint(const QAction *action) {
    return action ? action->statusTip() : QString();
}

int separatorLineY(int top, int bottom) {
    return int(std::nearbyint(top + (bottom - top) / 2.0));
}

void drawVendorMenuItem(QPainter &canvas, const QRect &rect, const QString &caption, const QPixmap &strip) {
    // Left, top, right and bottom with right and bottom exclusive.
    const int l = rect.x();
    const int t = rect.y();
    const int r = rect.x() + rect.width();
    const int b = rect.y() + rect.height();
    const QColor fill(176, 176, 144);

    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.fillRect(QRect(l, t, r - l, b - t), fill);

    // The strip shows the picture's rows at the item's own height, so that down the whole menu
    // the picture runs as one band. Rows beyond the picture stay in the fill colour.
    if (l < vendorStripWidth && !strip.isNull()) {
        const QRect area(l, t, vendorStripWidth - l, b - t);
        canvas.drawPixmap(area, strip, area);
    }

    if (!caption.isEmpty()) {
        canvas.setPen(QColor(255, 255, 255));
        canvas.setBackgroundMode(Qt::OpaqueMode);
        canvas.setBackground(fill);
        canvas.drawText(QRect(l + 17, t, std::max(0, r - l - 17), b - t),
                        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, caption);
    } else {
        // A separator: a dark line directly above a light one, from the strip to the right edge.
        const int y = separatorLineY(t, b);
        if (r > vendorStripWidth) {
            canvas.fillRect(QRect(vendorStripWidth, y, r - vendorStripWidth, 1), QColor(210, 210, 210));
            canvas.fillRect(QRect(vendorStripWidth, y - 1, r - vendorStripWidth, 1), QColor(96, 96, 48));
        }
    }
    canvas.restore();
}

VendorMenuStyle::VendorMenuStyle(DrawItem drawItem) : m_drawItem(std::move(drawItem)) {}

void VendorMenuStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                  const QWidget *widget) const {
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    const auto *menu = qobject_cast<const QMenu *>(widget);
    if (element == CE_MenuItem && item && menu && m_drawItem &&
        item->menuItemType != QStyleOptionMenuItem::EmptyArea) {
        QAction *action = menu->actionAt(item->rect.center());
        m_drawItem(action, painter, item->rect, item->state & State_Selected);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

int VendorMenuStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                               QStyleHintReturn *ret) const {
    // Captions are shown as they stand: no accelerator letters.
    if (hint == SH_UnderlineShortcut) return 0;
    return QProxyStyle::styleHint(hint, option, widget, ret);
}

void makeOwnerDrawn(QMenu *menu, VendorMenuStyle::DrawItem drawItem) {
    auto *style = new VendorMenuStyle(std::move(drawItem));
    style->setParent(menu);
    menu->setStyle(style);
}

} // namespace tarv
