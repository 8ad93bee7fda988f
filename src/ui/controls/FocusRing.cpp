#include "ui/controls/FocusRing.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

void paintFocusRing(QPainter &painter, const QRectF &rect, qreal radius, const FWTheme &theme)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath ring;
    ring.addRoundedRect(rect.adjusted(1, 1, -1, -1), std::max<qreal>(radius - 1, 0), std::max<qreal>(radius - 1, 0));
    painter.setBrush(Qt::NoBrush);
    painter.strokePath(ring, QPen(theme.accent(), 2));
    painter.restore();
}

bool showsFocusRing(const QWidget *widget)
{
    // Qt marks a window when its focus moved by the keyboard and clears the mark on a mouse press.
    return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}
