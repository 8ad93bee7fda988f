#pragma once

#include "model/TunnelStatus.h"

#include <QColor>
#include <QEasingCurve>
#include <QFont>

class QWidget;

// An animation curve with its length: what the controls hand to a QVariantAnimation.
struct FWCurve {
    QEasingCurve easing;
    int durationMs = 0;
};

// The palette every view draws with: twelve fixed brand and status colours, and surfaces and texts derived from
// the variant. A plain value, copied freely.
class FWTheme {
public:
    // Named colours a control can be told to draw in, resolved against the theme in force when it paints.
    enum class Role { Text, Text2, Text3, Accent, White, StGreen, StAmber, StRed, StGrey, FlumeGreen, Brass };

    explicit FWTheme(bool isDark = false) : dark(isDark) {}

    bool dark = false;
    QColor flumeGreen{30, 158, 87};
    QColor flumeGreenDeep{21, 122, 66};
    QColor flumeRim{12, 94, 52};
    QColor flumeSheen{84, 204, 133};
    QColor flumeHi{139, 227, 173};
    QColor brass{200, 162, 75};
    QColor brassDeep{169, 133, 58};
    QColor brassHi{230, 200, 120};
    QColor stGreen{48, 209, 88};
    QColor stAmber{255, 159, 10};
    QColor stRed{255, 69, 58};
    QColor stGrey{142, 142, 147};

    QColor winBg() const;
    QColor popBg() const;
    QColor surface() const;
    QColor surface2() const;
    QColor surface3() const;
    QColor text() const;
    QColor text2() const;
    QColor text3() const;

    // flumeSheen in the dark variant, flumeGreen in the light one.
    QColor accent() const { return dark ? flumeSheen : flumeGreen; }
    // White in the light variant, #2A2B2E in the dark one: the inside of text fields, check boxes and buttons.
    QColor fieldFill() const { return dark ? QColor(42, 43, 46) : QColor(Qt::white); }
    // White at `darkOpacity` in the dark variant, black at `lightOpacity` in the light one.
    QColor tint(qreal darkOpacity, qreal lightOpacity) const;
    // The hairline colour at one opacity for both variants.
    QColor hairline(qreal opacity) const { return tint(opacity, opacity); }

    QColor status(TunnelStatus status) const;
    QColor color(Role role) const;

    bool operator==(const FWTheme &other) const { return dark == other.dark; }

    // The spring that moves switch knobs (response 0.34 s, damping fraction 0.62).
    static const FWCurve &warp();
    // Ease-out over 0.26 s: the segmented picker's thumb and fades.
    static const FWCurve &out();
    // An ease-out or ease-in-out curve of the given length, shaped like the desktop's standard timing curves.
    static FWCurve easeOut(int durationMs);
    static FWCurve easeInOut(int durationMs);

    // The system font (or its monospaced design) at a size in device-independent pixels.
    static QFont font(qreal size, QFont::Weight weight = QFont::Normal, bool mono = false, qreal letterSpacing = 0);

    // The theme a widget sees: that of the nearest enclosing FWRoot, else the light variant.
    static FWTheme of(const QWidget *widget);
};
