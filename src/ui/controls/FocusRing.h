#pragma once

#include "ui/theme/FWTheme.h"

#include <QRectF>

class QPainter;

// The keyboard focus ring of the custom-painted controls: a 2-pixel line in the accent colour just inside `rect`,
// following its corner radius. Callers draw it only while showsFocusRing() holds.
void paintFocusRing(QPainter &painter, const QRectF &rect, qreal radius, const FWTheme &theme);

// True while the widget has the keyboard focus and it got there by the keyboard (Tab, Backtab or a shortcut); a
// click on a control shows no ring.
bool showsFocusRing(const QWidget *widget);
