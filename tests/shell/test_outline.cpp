#include "framework/regions.h"
#include "shell/tform1.h"

#include <gtest/gtest.h>

using namespace tarv;

TEST(Regions, RoundRectangleCoversTheHalfOpenRectangleWithRoundedCorners) {
    const QRegion r = roundRectRegion(0, 0, 284, 240, 30, 30);
    EXPECT_EQ(r.boundingRect(), QRect(0, 0, 284, 240));
    // Corners given in any order make the same region.
    EXPECT_EQ(roundRectRegion(284, 240, 0, 0, 30, 30), r);
    EXPECT_EQ(roundRectRegion(0, 240, 284, 0, 30, 30), r);
    // Without an ellipse it is the plain rectangle; an empty one is empty.
    EXPECT_EQ(roundRectRegion(2, 3, 12, 9, 0, 0), QRegion(2, 3, 10, 6));
    EXPECT_TRUE(roundRectRegion(5, 5, 5, 20, 4, 4).isEmpty());
    // An ellipse larger than the rectangle is clamped to it: a full ellipse touching all sides.
    const QRegion e = roundRectRegion(0, 0, 40, 20, 100, 100);
    EXPECT_EQ(e.boundingRect(), QRect(0, 0, 40, 20));
    EXPECT_FALSE(e.contains(QPoint(0, 0)));
    EXPECT_TRUE(e.contains(QPoint(20, 10)));
    // The corners are symmetric.
    for (const QPoint p : {QPoint(4, 4), QPoint(2, 8), QPoint(8, 2)}) {
        const bool in = r.contains(p);
        EXPECT_EQ(r.contains(QPoint(283 - p.x(), p.y())), in) << p.x() << "," << p.y();
        EXPECT_EQ(r.contains(QPoint(p.x(), 239 - p.y())), in) << p.x() << "," << p.y();
    }
}

TEST(Outline, PointsInsideAndOutside) {
    const QRegion outline = TForm1::outlineRegion(284);
    struct Row {
        int x, y;
        bool inside;
        const char *where;
    };
    const Row rows[] = {
        {0, 0, false, "top-left corner"},
        {3, 3, false, "top-left corner"},
        {10, 10, true, "inside the top-left rounding"},
        {283, 0, false, "top-right corner"},
        {280, 3, false, "top-right corner"},
        {273, 10, true, "inside the top-right rounding"},
        {142, 0, true, "top edge"},
        {0, 120, true, "left edge"},
        {283, 120, true, "right edge"},
        {142, 239, true, "display"},
        {0, 239, true, "left edge where the two parts meet"},
        {1, 290, false, "lower-left corner curves inwards"},
        {283, 290, false, "lower-right corner curves inwards"},
        {3, 296, false, "lower-left corner"},
        {12, 296, true, "left foot, beside the notch"},
        {45, 290, false, "notch below (45, 280)"},
        {235, 290, false, "notch below (235, 280)"},
        {100, 295, false, "notch between 45 and 140"},
        {100, 288, true, "above the notch's edge"},
        {140, 299, true, "the lowest point of the bottom edge"},
        {190, 285, true, "above the notch's edge"},
        {190, 295, false, "notch between 140 and 235"},
        {142, 303, false, "row 303"},
        {142, 307, false, "row 307"},
        {5, 305, false, "below the left foot"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(outline.contains(QPoint(r.x, r.y)), r.inside) << r.x << "," << r.y << ": " << r.where;
    EXPECT_EQ(outline.boundingRect(), QRect(0, 0, 284, 303));
}
