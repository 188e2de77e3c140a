#pragma once

#include <QPolygon>
#include <QRegion>

namespace tarv {

// Window regions as the window system builds them. Right and bottom edges are exclusive: a
// region from (0, 0) to (284, 240) covers columns 0 to 283 and rows 0 to 239.

// A rounded rectangle between two corners given in any order. The corners are rounded along an
// ellipse of ellipseWidth × ellipseHeight (the whole ellipse, not its radii); an ellipse larger
// than the rectangle is clamped to it. Each row of pixels covers the columns whose centres lie
// inside the rounded outline.
QRegion roundRectRegion(int x1, int y1, int x2, int y2, int ellipseWidth, int ellipseHeight);

// A polygon filled with the given rule; the last point may repeat the first.
QRegion polygonRegion(const QPolygon &points, Qt::FillRule rule = Qt::OddEvenFill);

} // namespace tarv
