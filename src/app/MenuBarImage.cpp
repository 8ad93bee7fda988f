#include "app/MenuBarImage.h"

#include <QPainter>

MenuBarImage menuBarImage(FlumeMark::Fill fill, qreal size, bool dev, const QColor &ink)
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
    FlumeMark::paint(painter, QPointF(2, 2), fill, size, dev ? devIconColor() : ink);
    painter.end();
    return {image, !dev};
}
