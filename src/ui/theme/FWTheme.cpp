#include "ui/theme/FWTheme.h"

#include "ui/theme/FWRoot.h"

#include <QFontDatabase>
#include <QWidget>
#include <cmath>

namespace {

QColor withAlpha(QColor color, qreal opacity)
{
    color.setAlphaF(float(opacity));
    return color;
}

// Length over which the spring is played: by then it has settled to within a thousandth.
constexpr int kWarpDurationMs = 600;

// A damped spring released from 0 towards 1, sampled at progress p of kWarpDurationMs.
qreal warpSpring(qreal progress)
{
    if (progress >= 1.0)
        return 1.0;
    constexpr double response = 0.34;
    constexpr double damping = 0.62;
    const double omega = 2.0 * M_PI / response;
    const double decay = damping * omega;
    const double omegaD = omega * std::sqrt(1.0 - damping * damping);
    const double t = progress * kWarpDurationMs / 1000.0;
    return 1.0 - std::exp(-decay * t) * (std::cos(omegaD * t) + decay / omegaD * std::sin(omegaD * t));
}

QEasingCurve bezier(qreal x1, qreal y1, qreal x2, qreal y2)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1, 1));
    return curve;
}

} // namespace

QColor FWTheme::winBg() const
{
    return dark ? QColor(28, 29, 31) : QColor(243, 239, 231);
}

QColor FWTheme::popBg() const
{
    return dark ? withAlpha(QColor(34, 35, 38), 0.74) : withAlpha(QColor(247, 244, 237), 0.78);
}

QColor FWTheme::surface() const
{
    return dark ? QColor(31, 32, 34) : QColor(251, 249, 244);
}

QColor FWTheme::surface2() const
{
    return dark ? QColor(42, 43, 46) : QColor(241, 236, 226);
}

QColor FWTheme::surface3() const
{
    return dark ? QColor(50, 51, 55) : QColor(232, 226, 214);
}

QColor FWTheme::text() const
{
    return dark ? QColor(244, 241, 234) : QColor(33, 31, 26);
}

QColor FWTheme::text2() const
{
    return withAlpha(text(), dark ? 0.58 : 0.56);
}

QColor FWTheme::text3() const
{
    return withAlpha(text(), dark ? 0.36 : 0.38);
}

QColor FWTheme::tint(qreal darkOpacity, qreal lightOpacity) const
{
    return dark ? withAlpha(Qt::white, darkOpacity) : withAlpha(Qt::black, lightOpacity);
}

QColor FWTheme::status(TunnelStatus status) const
{
    // Same order as TunnelStatus and as the four status fields.
    const QColor colours[] = {stGreen, stAmber, stRed, stGrey};
    return colours[int(status)];
}

QColor FWTheme::color(Role role) const
{
    switch (role) {
    case Role::Text:
        return text();
    case Role::Text2:
        return text2();
    case Role::Text3:
        return text3();
    case Role::Accent:
        return accent();
    case Role::White:
        return Qt::white;
    case Role::StGreen:
        return stGreen;
    case Role::StAmber:
        return stAmber;
    case Role::StRed:
        return stRed;
    case Role::StGrey:
        return stGrey;
    case Role::FlumeGreen:
        return flumeGreen;
    case Role::Brass:
        return brass;
    }
    return text();
}

const FWCurve &FWTheme::warp()
{
    static const FWCurve curve = [] {
        QEasingCurve easing;
        easing.setCustomType(warpSpring);
        return FWCurve{easing, kWarpDurationMs};
    }();
    return curve;
}

const FWCurve &FWTheme::out()
{
    static const FWCurve curve = easeOut(260);
    return curve;
}

FWCurve FWTheme::easeOut(int durationMs)
{
    return FWCurve{bezier(0, 0, 0.58, 1), durationMs};
}

FWCurve FWTheme::easeInOut(int durationMs)
{
    return FWCurve{bezier(0.42, 0, 0.58, 1), durationMs};
}

QFont FWTheme::font(qreal size, QFont::Weight weight, bool mono, qreal letterSpacing)
{
    QFont font = mono ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                      : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // Sizes are device-independent pixels; Qt's point sizes assume 96 dots per inch on Linux.
    font.setPointSizeF(size * 0.75);
    font.setWeight(weight);
    if (letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

FWTheme FWTheme::of(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (auto root = qobject_cast<const FWRoot *>(w))
            return root->theme();
    }
    static const FWTheme fallback(false);
    return fallback;
}
