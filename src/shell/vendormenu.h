#pragma once

#include "shell/popupfile.h"

#include <QProxyStyle>
#include <functional>

class QAction;
class QMenu;
class QPainter;
class QPixmap;

namespace tarv {

// The three spaces every text item's caption ends with; they widen each item a little.
inline constexpr char vendorCaptionPadding[] = "   ";
// The width of the picture strip down the menu's left edge.
inline constexpr int vendorStripWidth = 15;

// Creates the menu item of a file line, owned by owner: the caption with its three spaces (empty
// for a separator, which is also disabled) and the command as the item's hint.
QAction *makeVendorMenuItem(const PopupItem &item, QObject *owner);

// The caption as the drawing code sees it (the menu's own text escapes "&"), and the command.
QString vendorItemCaption(const QAction *action);
QString vendorItemHint(const QAction *action);

// Draws one vendor menu item on canvas. rect is the item's rectangle in the menu's coordinates;
// strip is the picture whose rows at the item's height are copied down the left edge.
void drawVendorMenuItem(QPainter &canvas, const QRect &rect, const QString &caption, const QPixmap &strip);

// The y of a separator's light line: the middle of the item, a half rounded to the even side.
int separatorLineY(int top, int bottom);

// A style for the vendor menu that hands every item to an owner-draw handler and leaves
// the item's size, the menu's frame and everything else to the application's style.
class VendorMenuStyle final : public QProxyStyle {
    Q_OBJECT
public:
    using DrawItem = std::function<void(QAction *sender, QPainter *canvas, const QRect &rect, bool selected)>;

    explicit VendorMenuStyle(DrawItem drawItem);

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *ret) const override;

private:
    DrawItem m_drawItem;
};

// Gives menu the vendor menu's look: owner-drawn items through drawItem, no mnemonics.
void makeOwnerDrawn(QMenu *menu, VendorMenuStyle::DrawItem drawItem);

} // namespace tarv
