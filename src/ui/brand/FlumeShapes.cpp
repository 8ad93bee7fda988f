#include "ui/brand/FlumeShapes.h"

#include <algorithm>

namespace {
QPainterPath part(const QRectF &rect, qreal x, qreal y, qreal w, qreal h)
{
    const qreal u = std::min(rect.width(), rect.height()) / 20;
    QPainterPath path;
    path.addRoundedRect(QRectF(rect.x() + x * u, rect.y() + y * u, w * u, h * u), 1.3 * u, 1.3 * u);
    return path;
}
} // namespace

namespace FlumeShapes {

QPainterPath collar(const QRectF &rect)
{
    return part(rect, 4.2, 3.6, 11.6, 3.2);
}

QPainterPath body(const QRectF &rect)
{
    return part(rect, 6.4, 8.2, 7.2, 9.4);
}

QPainterPath glyph(const QRectF &rect)
{
    QPainterPath path = collar(rect);
    path.addPath(body(rect));
    return path;
}

} // namespace FlumeShapes
