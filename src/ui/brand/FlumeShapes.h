#pragma once

#include <QPainterPath>

// The flume glyph on a 20-unit grid (u = min(w, h) / 20, from the rectangle's top-left corner): a wide collar over
// a narrower body, both rounded by 1.3u.
namespace FlumeShapes {
QPainterPath collar(const QRectF &rect);
QPainterPath body(const QRectF &rect);
// Collar, then body, in one path.
QPainterPath glyph(const QRectF &rect);
} // namespace FlumeShapes
