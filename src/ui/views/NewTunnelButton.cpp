#include "ui/views/NewTunnelButton.h"

#include "ui/controls/FocusRing.h"
#include "ui/controls/Icon.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
constexpr qreal kIconSize = 15;
constexpr qreal kGap = 6;
constexpr qreal kVerticalPadding = 6;

QFont labelFont()
{
    return FWTheme::font(13, QFont::DemiBold);
}

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}
} // namespace

NewTunnelButton::NewTunnelButton(QWidget *parent)
    : QAbstractButton(parent), m_hoverAnim(new Animator(FWTheme::easeOut(120), this))
{
    setText(QStringLiteral("New Tunnel"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(text());
}

void NewTunnelButton::setHovered(bool hover)
{
    if (hover == m_hover)
        return;
    m_hover = hover;
    m_hoverAnim->animateTo(hover ? 1 : 0);
}

QSize NewTunnelButton::sizeHint() const
{
    const QFontMetricsF metrics(labelFont());
    const qreal content = kIconSize + kGap + metrics.horizontalAdvance(text());
    const qreal height = std::max<qreal>(metrics.height(), kIconSize) + 2 * kVerticalPadding;
    return {int(std::ceil(content + 24)), int(std::ceil(height))};
}

QSize NewTunnelButton::minimumSizeHint() const
{
    return sizeHint();
}

void NewTunnelButton::enterEvent(QEnterEvent *event)
{
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void NewTunnelButton::leaveEvent(QEvent *event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void NewTunnelButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    const qreal t = m_hoverAnim->value();
    if (isDown())
        painter.setOpacity(0.85);

    // Outline drawn inside the edge: hairline at rest, 1-pixel accent while hovered.
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(frame, 7, 7);
    QColor fill = theme.flumeGreen;
    fill.setAlphaF(0.12 * t);
    painter.fillPath(shape, fill);
    painter.setPen(QPen(mix(theme.hairline(0.13), theme.accent(), t), 1));
    painter.drawPath(shape);

    const QColor ink = mix(theme.text(), theme.accent(), t);
    const QFont font = labelFont();
    const QFontMetricsF metrics(font);
    const qreal textWidth = metrics.horizontalAdvance(text());
    const qreal left = (width() - (kIconSize + kGap + textWidth)) / 2;
    const QRectF iconRect(left, (height() - kIconSize) / 2, kIconSize, kIconSize);
    Icon::paintSymbol(painter, iconRect, Icon::symbolFor(QStringLiteral("plus")), kIconSize, QFont::Bold, ink);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QRectF(iconRect.right() + kGap, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft,
                     text());
    if (showsFocusRing(this)) {
        painter.setOpacity(1);
        paintFocusRing(painter, QRectF(rect()), 7, theme);
    }
}
