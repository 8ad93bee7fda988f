#include "ui/controls/TypeChip.h"

#include "ui/theme/FWTheme.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
QFont chipFont()
{
    return FWTheme::font(9.5, QFont::DemiBold, true, 0.4);
}
} // namespace

TypeChip::TypeChip(TunnelType type, QWidget *parent) : QWidget(parent), m_type(type)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TypeChip::setType(TunnelType type)
{
    m_type = type;
    updateGeometry();
    update();
}

QSizeF TypeChip::chipSize() const
{
    const QFontMetricsF metrics(chipFont());
    return {metrics.horizontalAdvance(text()) + 10, metrics.height() + 3};
}

QSize TypeChip::sizeHint() const
{
    const QSizeF size = chipSize();
    return {int(std::ceil(size.width())), int(std::ceil(size.height()))};
}

void TypeChip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    QRectF chip(QPointF(0, 0), chipSize());
    chip.moveCenter(QRectF(rect()).center());
    QPainterPath shape;
    shape.addRoundedRect(chip, 5, 5);
    const bool socks = m_type == TunnelType::Socks;
    QColor fill = socks ? theme.flumeGreen : theme.tint(0.10, 0.06);
    if (socks)
        fill.setAlphaF(0.14f);
    painter.fillPath(shape, fill);
    painter.setFont(chipFont());
    painter.setPen(socks ? theme.accent() : theme.text2());
    painter.drawText(chip, Qt::AlignCenter, text());
}
