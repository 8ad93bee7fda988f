#pragma once

#include "ui/theme/FWTheme.h"

#include <QMarginsF>
#include <QPainterPath>

class QPainter;

// How the application's buttons look: one of three kinds, compact or regular. Holds the shared geometry (shape
// for fill, border and hit area) and paints the chrome; the label is drawn by the button on top.
class FWButtonStyle {
public:
    enum class Kind { Normal, Primary, Ghost };

    struct State {
        bool hovered = false;
        bool pressed = false;
        bool enabled = true;
    };

    explicit FWButtonStyle(Kind buttonKind = Kind::Normal, bool isCompact = false)
        : kind(buttonKind), compact(isCompact)
    {
    }

    Kind kind = Kind::Normal;
    bool compact = false;

    static constexpr qreal radius = 7;

    QFont font() const;
    QMarginsF padding() const;
    // The outline shared by painting and hit-testing.
    QPainterPath shape(const QRectF &bounds) const;
    // Label colour: text, white or the accent.
    QColor foreground(const FWTheme &theme) const;
    // Fill, border and shadow; the caller sets the painter's opacity for a disabled button.
    void paintChrome(QPainter &painter, const QRectF &bounds, const FWTheme &theme, const State &state) const;
};
