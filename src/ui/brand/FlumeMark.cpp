#include "ui/brand/FlumeMark.h"

#include "ui/brand/FlumeShapes.h"

#include <QPainter>
#include <cmath>

FlumeMark::FlumeMark(Fill fill, qreal size, const QColor &color, QWidget *parent)
    : QWidget(parent), m_fill(fill), m_size(size), m_color(color)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
}

QSize FlumeMark::sizeHint() const
{
    const int side = int(std::ceil(m_size));
    return {side, side};
}

void FlumeMark::paint(QPainter &painter, const QPointF &origin, Fill fill, qreal size, const QColor &color)
{
    const QRectF frame(origin, QSizeF(size, size));
    const qreal u = size / 20;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, 1.5 * u);
    pen.setMiterLimit(10);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.strokePath(FlumeShapes::glyph(frame), pen);
    if (fill == Fill::Body || fill == Fill::Full)
        painter.fillPath(FlumeShapes::body(frame), color);
    if (fill == Fill::Full)
        painter.fillPath(FlumeShapes::collar(frame), color);
    painter.restore();
}

void FlumeMark::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, QPointF(0, 0), m_fill, m_size, m_color);
}
