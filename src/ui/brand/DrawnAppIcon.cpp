#include "ui/brand/DrawnAppIcon.h"

#include "ui/brand/FlumeShapes.h"
#include "ui/theme/FWTheme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>

DrawnAppIcon::DrawnAppIcon(qreal size, bool dark, QWidget *parent) : QWidget(parent), m_size(size), m_dark(dark)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
}

QSize DrawnAppIcon::sizeHint() const
{
    const int side = int(std::ceil(m_size));
    return {side, side};
}

void DrawnAppIcon::paint(QPainter &painter, const QRectF &frame, bool dark)
{
    const FWTheme theme(dark);
    const qreal s = frame.width();
    // Positions below are on a 100-unit design grid.
    auto at = [&](qreal x, qreal y, qreal w, qreal h) {
        return QRectF(frame.x() + x * s / 100, frame.y() + y * s / 100, w * s / 100, h * s / 100);
    };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    QPainterPath tile;
    tile.addRoundedRect(frame, 0.225 * s, 0.225 * s);
    QLinearGradient tileFill(frame.topLeft(), frame.bottomLeft());
    tileFill.setColorAt(0, dark ? QColor(46, 50, 47) : QColor(253, 251, 246));
    tileFill.setColorAt(1, dark ? QColor(20, 22, 21) : QColor(230, 223, 208));
    painter.fillPath(tile, tileFill);

    QRadialGradient glow(at(50, 60, 0, 0).topLeft(), 46 * s / 100);
    QColor glowColor = theme.flumeSheen;
    glowColor.setAlphaF(dark ? 0.38f : 0.26f);
    glow.setColorAt(0, glowColor);
    glowColor.setAlphaF(0);
    glow.setColorAt(1, glowColor);
    painter.fillPath(tile, glow);

    QPainterPath inner;
    const qreal stroke = std::max(1.0, s / 100);
    inner.addRoundedRect(frame.adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2), 0.225 * s - stroke / 2,
                         0.225 * s - stroke / 2);
    painter.strokePath(inner, QPen(dark ? QColor(255, 255, 255, 28) : QColor(0, 0, 0, 22), stroke));

    // Shadow pool under the glyph.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, dark ? 90 : 40));
    painter.drawEllipse(at(29, 80, 42, 7));

    const QRectF grid = at(12, 8, 76, 76);
    QLinearGradient bodyFill(grid.topLeft(), grid.bottomLeft());
    bodyFill.setColorAt(0.3, theme.flumeSheen);
    bodyFill.setColorAt(1, theme.flumeGreenDeep);
    painter.fillPath(FlumeShapes::body(grid), bodyFill);
    painter.strokePath(FlumeShapes::body(grid), QPen(theme.flumeRim, s / 90));
    QLinearGradient collarFill(grid.topLeft(), QPointF(grid.left(), grid.top() + grid.height() * 0.35));
    collarFill.setColorAt(0, theme.brassHi);
    collarFill.setColorAt(1, theme.brassDeep);
    painter.fillPath(FlumeShapes::collar(grid), collarFill);
    painter.strokePath(FlumeShapes::collar(grid), QPen(theme.brassDeep.darker(130), s / 90));
    // Highlight down the body's left edge.
    painter.setBrush(QColor(255, 255, 255, 60));
    painter.drawRoundedRect(at(12 + 6.4 * 3.8 + 2, 8 + 8.2 * 3.8 + 2, 2.2, 9.4 * 3.8 - 4), s / 100, s / 100);
    painter.restore();
}

void DrawnAppIcon::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, QRectF(0, 0, m_size, m_size), m_dark);
}
