#include "framework/regions.h"

#include <QVector>
#include <algorithm>
#include <cmath>

namespace tarv {

QRegion roundRectRegion(int x1, int y1, int x2, int y2, int ellipseWidth, int ellipseHeight) {
    const int left = std::min(x1, x2), right = std::max(x1, x2);
    const int top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (right <= left || bottom <= top) return {};
    const double ew = std::clamp(ellipseWidth, 0, right - left);
    const double eh = std::clamp(ellipseHeight, 0, bottom - top);
    if (ew < 2 || eh < 2) return QRegion(left, top, right - left, bottom - top);

    const double a = ew / 2.0, b = eh / 2.0;
    // The corner ellipses' centres, inside the rectangle.
    const double topCentre = top + b, bottomCentre = bottom - b;
    QVector<QRect> rows;
    rows.reserve(bottom - top);
    for (int y = top; y < bottom; ++y) {
        const double cy = y + 0.5;
        double dy = 0;
        if (cy < topCentre)
            dy = topCentre - cy;
        else if (cy > bottomCentre)
            dy = cy - bottomCentre;
        int inset = 0;
        if (dy > 0) {
            const double t = std::min(1.0, dy / b);
            const double half = a * std::sqrt(1.0 - t * t);
            // Columns whose centre x + 0.5 lies at or beyond the ellipse's edge.
            inset = static_cast<int>(std::ceil(a - half - 0.5));
            inset = std::max(0, inset);
        }
        const int l = left + inset, r = right - inset;
        if (r <= l) continue;
        // Runs of rows with the same span become one rectangle.
        if (!rows.isEmpty() && rows.last().left() == l && rows.last().right() == r - 1 &&
            rows.last().bottom() == y - 1) {
            rows.last().setBottom(y);
        } else {
            rows.append(QRect(l, y, r - l, 1));
        }
    }
    QRegion region;
    region.setRects(rows.constData(), static_cast<int>(rows.size()));
    return region;
}

QRegion polygonRegion(const QPolygon &points, Qt::FillRule rule) {
    QPolygon p = points;
    if (p.size() > 1 && p.first() == p.last()) p.removeLast();
    return QRegion(p, rule);
}

} // namespace tarv
