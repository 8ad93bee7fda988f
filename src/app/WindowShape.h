#pragma once

#include <QtGlobal>

class QWidget;

// Rounded windows on screens that cannot show transparency. Without a compositor an X11 window's transparent
// corners show as grey (or garbage) squares; such windows get a rounded mask instead, hard-edged but clean.
namespace WindowShape {

// Whether the screen blends translucent windows with what lies below (a compositor runs, or the platform always
// composites).
bool screenHasAlpha();

// Masks `window` to a rounded rectangle of `radius` when the screen has no alpha, and removes the mask when it has.
// Called whenever the window's size changes.
void fitRoundedMask(QWidget *window, qreal radius);

} // namespace WindowShape
