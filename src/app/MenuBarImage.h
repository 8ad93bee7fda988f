#pragma once

#include "ui/brand/FlumeMark.h"

#include <QImage>

// The tray icon's picture of the glyph: rendered at two pixels per point in a square of side size + 4; in `ink`
// (black unless told otherwise) and marked as a template (a desktop that tints templates recolours it) on production
// builds, red and shown as drawn on development builds.
struct MenuBarImage {
    QImage image;
    bool isTemplate = true;
};

// What a tray that shows the picture as drawn needs on top of the glyph.
struct MenuBarExtras {
    // A thin rim in this colour around every stroke, so that the glyph reads on a panel of either lightness;
    // none when invalid.
    QColor edge;
    // The number of connected tunnels, drawn as a small badge in the bottom-right corner; none below 2.
    int badge = 0;
};

MenuBarImage menuBarImage(FlumeMark::Fill fill, qreal size, bool dev, const QColor &ink = Qt::black,
                          const MenuBarExtras &extras = {});

// The red of development builds' icon.
inline QColor devIconColor()
{
    return QColor::fromRgbF(215 / 255.0f, 38 / 255.0f, 61 / 255.0f, 1.0f);
}
