#include "shell/vendormenu.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <gtest/gtest.h>

using namespace tarv;

namespace {

const QColor fill(176, 176, 144);
const QColor light(210, 210, 210);
const QColor dark(96, 96, 48);

// A 15 x 250 strip whose every pixel tells its own row and column.
QPixmap testStrip() {
    QImage img(vendorStripWidth, 250, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixelColor(x, y, QColor(x * 10, y, 255 - y));
    return QPixmap::fromImage(img);
}

// An owner-drawn menu of the given file lines, popped up off screen.
struct DrawnMenu {
    explicit DrawnMenu(const QList<PopupItem> &items) : strip(testStrip()) {
        makeOwnerDrawn(&menu, [this](QAction *sender, QPainter *canvas, const QRect &rect, bool) {
            drawVendorMenuItem(*canvas, rect, vendorItemCaption(sender), strip);
        });
        for (const PopupItem &item : items)
            menu.addAction(makeVendorMenuItem(item, &menu));
        menu.popup(QPoint(0, 0));
        QApplication::processEvents();
    }
    QImage image() { return menu.grab().toImage(); }
    QRect item(int i) { return menu.actionGeometry(menu.actions().at(i)); }

    QMenu menu;
    QPixmap strip;
};

bool hasColour(const QImage &img, const QRect &area, const QColor &c) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixelColor(x, y) == c) return true;
    return false;
}

} // namespace

TEST(VendorMenuItem, CarriesCaptionAndHintAsBuilt) {
    QObject owner;
    const QAction *text = makeVendorMenuItem({"Fish & Chips", " http://h/ ", false}, &owner);
    EXPECT_EQ(vendorItemCaption(text), QStringLiteral("Fish & Chips   "));
    EXPECT_EQ(text->text(), QStringLiteral("Fish && Chips   "));
    EXPECT_EQ(vendorItemHint(text), QStringLiteral(" http://h/ "));
    EXPECT_TRUE(text->isEnabled());
    EXPECT_FALSE(text->isSeparator());

    const QAction *sep = makeVendorMenuItem({"-", "x", true}, &owner);
    EXPECT_EQ(vendorItemCaption(sep), QString());
    EXPECT_EQ(vendorItemHint(sep), QStringLiteral("x"));
    EXPECT_FALSE(sep->isEnabled());
}

TEST(VendorMenuItem, SeparatorLineRoundsHalvesToEven) {
    EXPECT_EQ(separatorLineY(0, 22), 11);
    EXPECT_EQ(separatorLineY(0, 21), 10);  // 10.5 goes to 10
    EXPECT_EQ(separatorLineY(22, 45), 34); // 33.5 goes to 34
    EXPECT_EQ(separatorLineY(10, 10), 10);
}

TEST(VendorMenuDrawing, RendersFillStripCaptionAndSeparator) {
    DrawnMenu m({{"One", "http://a/", false}, {"-", {}, true}, {"Three", "MMexit", false}});
    const QImage img = m.image();
    const QRect one = m.item(0);
    const QRect sep = m.item(1);
    const QRect three = m.item(2);
    ASSERT_FALSE(one.isEmpty());
    ASSERT_GT(sep.top(), one.top());

    // The fill, away from the caption.
    EXPECT_EQ(img.pixelColor(one.right() - 1, one.bottom()), fill);
    EXPECT_EQ(img.pixelColor(three.right() - 1, three.top()), fill);

    // The strip shows the picture's own rows at the item's height, up to column 14.
    for (const QRect &r : {one, sep, three}) {
        for (int x : {r.left(), 7, vendorStripWidth - 1}) {
            const int y = r.top() + r.height() / 2;
            EXPECT_EQ(img.pixelColor(x, y), m.strip.toImage().pixelColor(x, y)) << x << "," << y;
        }
        EXPECT_NE(img.pixelColor(vendorStripWidth, r.top() + 1),
                  m.strip.toImage().pixelColor(15 - 1, r.top() + 1));
    }

    // White captions start 17 pixels in from the item's left edge and not before.
    const QRect captionArea(one.left() + 17, one.top(), 40, one.height());
    EXPECT_TRUE(hasColour(img, captionArea, Qt::white));
    EXPECT_FALSE(
        hasColour(img, QRect(vendorStripWidth, one.top(), one.left() + 17 - vendorStripWidth, one.height()),
                  Qt::white));

    // The separator: a dark line directly over a light one, from column 15 to the right edge.
    const int y = separatorLineY(sep.top(), sep.top() + sep.height());
    for (int x : {vendorStripWidth, 40, sep.right()}) {
        EXPECT_EQ(img.pixelColor(x, y), light) << x;
        EXPECT_EQ(img.pixelColor(x, y - 1), dark) << x;
    }
    EXPECT_EQ(img.pixelColor(40, y + 1), fill);
    EXPECT_EQ(img.pixelColor(40, y - 2), fill);
    EXPECT_FALSE(hasColour(img, sep.adjusted(0, 0, 0, 0), Qt::white));
}

TEST(VendorMenuDrawing, SelectedItemLooksLikeTheOthers) {
    DrawnMenu m({{"One", "http://a/", false}, {"Two", "http://b/", false}});
    const QRect one = m.item(0);
    const QImage before = m.image().copy(one);
    m.menu.setActiveAction(m.menu.actions().at(0));
    QApplication::processEvents();
    EXPECT_EQ(m.image().copy(one), before);
}

TEST(VendorMenuDrawing, ItemsBelowThePictureKeepTheFillInTheStrip) {
    QList<PopupItem> items;
    for (int i = 0; i < 20; ++i)
        items << PopupItem{QStringLiteral("Item %1").arg(i), {}, false};
    DrawnMenu m(items);
    const QRect last = m.item(19);
    ASSERT_GT(last.top(), 250);
    EXPECT_EQ(m.image().pixelColor(5, last.top() + 1), fill);
}
