#include "app/WindowShape.h"

#include <QPainterPath>
#include <QRegion>
#include <QWidget>

namespace WindowShape {

void fitRoundedMask(QWidget *window, qreal radius)
{
    if (screenHasAlpha()) {
        if (!window->mask().isEmpty())
            window->clearMask();
        return;
    }
    QPainterPath shape;
    shape.addRoundedRect(QRectF(window->rect()), radius, radius);
    window->setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

} // namespace WindowShape
