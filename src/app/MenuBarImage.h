#pragma once

#include "ui/brand/FlumeMark.h"

#include <QImage>

// The status item's picture of the glyph: rendered at two pixels per point in a square of side size + 4; in `ink`
// (black unless told otherwise) and marked as a template (a desktop that tints templates recolours it) on production
// builds, red and shown as drawn on development builds.
struct MenuBarImage {
    QImage image;
    bool isTemplate = true;
};

MenuBarImage menuBarImage(FlumeMark::Fill fill, qreal size, bool dev, const QColor &ink = Qt::black);

// The red of development builds' icon.
inline QColor devIconColor()
{
    return QColor::fromRgbF(215 / 255.0f, 38 / 255.0f, 61 / 255.0f, 1.0f);
}
