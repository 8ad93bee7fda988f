#include "ui/controls/FWButtonStyle.h"

#include <QLinearGradient>
#include <QPainter>

QFont FWButtonStyle::font() const
{
    return FWTheme::font(compact ? 11.5 : 13, QFont::Medium);
}

QMarginsF FWButtonStyle::padding() const
{
    return compact ? QMarginsF(8, 3, 8, 3) : QMarginsF(13, 6, 13, 6);
}

QPainterPath FWButtonStyle::shape(const QRectF &bounds) const
{
    QPainterPath path;
    path.addRoundedRect(bounds, radius, radius);
    return path;
}

QColor FWButtonStyle::foreground(const FWTheme &theme) const
{
    switch (kind) {
    case Kind::Normal:
        return theme.text();
    case Kind::Primary:
        return Qt::white;
    case Kind::Ghost:
        return theme.accent();
    }
    return theme.text();
}

void FWButtonStyle::paintChrome(QPainter &painter, const QRectF &bounds, const FWTheme &theme, const State &state) const
{
    const bool hover = state.hovered && state.enabled;
    const QPainterPath outline = shape(bounds);
    const QRectF inner = bounds.adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath innerPath;
    innerPath.addRoundedRect(inner, radius - 0.5, radius - 0.5);

    switch (kind) {
    case Kind::Normal:
        painter.fillPath(outline, hover ? theme.surface3() : theme.fieldFill());
        painter.strokePath(innerPath, QPen(theme.hairline(0.13), 1));
        break;
    case Kind::Primary: {
        QPainterPath shadow = shape(bounds.translated(0, 1));
        painter.fillPath(shadow, QColor(0, 0, 0, int(255 * 0.18)));
        QLinearGradient gradient(bounds.topLeft(), bounds.bottomLeft());
        gradient.setColorAt(0, hover ? theme.flumeHi : theme.flumeSheen);
        gradient.setColorAt(1, hover ? theme.flumeSheen : theme.flumeGreen);
        painter.fillPath(outline, gradient);
        painter.strokePath(innerPath, QPen(theme.flumeGreenDeep, 1));
        break;
    }
    case Kind::Ghost:
        if (hover)
            painter.fillPath(outline, theme.tint(0.06, 0.045));
        break;
    }
    // Held down: a touch darker.
    if (state.pressed && state.enabled)
        painter.fillPath(outline, QColor(0, 0, 0, int(255 * 0.04 * 2)));
}
