#include "app/MenuBarImage.h"

#include "ui/theme/FWTheme.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

// The glyph alone, then, when asked, a copy of it in the edge colour spread one pixel in every direction behind it.
void paintGlyph(QPainter &painter, const QSize &pixels, FlumeMark::Fill fill, qreal size, const QColor &ink,
                const QColor &edge)
{
    QImage glyph(pixels, QImage::Format_ARGB32_Premultiplied);
    glyph.setDevicePixelRatio(2);
    glyph.fill(Qt::transparent);
    {
        QPainter p(&glyph);
        FlumeMark::paint(p, QPointF(2, 2), fill, size, ink);
    }
    if (edge.isValid()) {
        QImage rim = glyph;
        QPainter tint(&rim);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(QRectF(0, 0, pixels.width(), pixels.height()), edge);
        tint.end();
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (dx || dy)
                    painter.drawImage(QPointF(dx * 0.75, dy * 0.75), rim);
    }
    painter.drawImage(QPointF(0, 0), glyph);
}

void paintBadge(QPainter &painter, qreal frame, int count)
{
    const QString text = count > 9 ? QStringLiteral("9+") : QString::number(count);
    const QFont font = FWTheme::font(8, QFont::Bold);
    const qreal height = 10;
    const qreal width = std::max(height, QFontMetricsF(font).horizontalAdvance(text) + 4);
    const QRectF badge(frame - width, frame - height, width, height);
    const FWTheme theme;
    QPainterPath shape;
    shape.addRoundedRect(badge, height / 2, height / 2);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shape, theme.flumeGreenDeep);
    painter.setPen(Qt::white);
    painter.setFont(font);
    painter.drawText(badge, Qt::AlignCenter, text);
}

} // namespace

MenuBarImage menuBarImage(FlumeMark::Fill fill, qreal size, bool dev, const QColor &ink, const MenuBarExtras &extras)
{
    const qreal frame = size + 4;
    QImage image(int(frame * 2), int(frame * 2), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        const int side = int(size);
        QImage empty(side, side, QImage::Format_ARGB32_Premultiplied);
        empty.fill(Qt::transparent);
        return {empty, !dev};
    }
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintGlyph(painter, image.size(), fill, size, dev ? devIconColor() : ink, extras.edge);
    if (extras.badge >= 2)
        paintBadge(painter, frame, extras.badge);
    painter.end();
    return {image, !dev};
}
