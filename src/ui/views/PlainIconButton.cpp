#include "ui/views/PlainIconButton.h"

#include "ui/controls/FocusRing.h"
#include "ui/controls/Icon.h"

#include <QPainter>

PlainIconButton::PlainIconButton(const QString &iconName, qreal iconSize, QFont::Weight weight, FWTheme::Role role,
                                 const QSize &frame, QWidget *parent)
    : QAbstractButton(parent), m_iconName(iconName), m_iconSize(iconSize), m_weight(weight), m_role(role),
      m_frame(frame)
{
    setFixedSize(frame);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::TabFocus);
}

void PlainIconButton::setIconName(const QString &name)
{
    if (name == m_iconName)
        return;
    m_iconName = name;
    update();
}

void PlainIconButton::setCircle(bool circle)
{
    m_circle = circle;
    update();
}

void PlainIconButton::setContentOpacity(qreal opacity)
{
    if (opacity == m_opacity)
        return;
    m_opacity = opacity;
    update();
}

void PlainIconButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A faded button that the keyboard reaches shows itself, or the focus ring would circle nothing.
    const bool ring = showsFocusRing(this);
    painter.setOpacity((ring ? 1.0 : m_opacity) * (isDown() ? 0.7 : 1.0));
    const FWTheme theme = FWTheme::of(this);
    const QRectF frame = rect();
    if (m_circle) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(theme.surface2());
        painter.drawEllipse(frame);
    }
    Icon::paintSymbol(painter, frame, Icon::symbolFor(m_iconName), m_iconSize, m_weight, theme.color(m_role));
    if (ring) {
        painter.setOpacity(1);
        paintFocusRing(painter, frame, m_circle ? frame.height() / 2 : 6, theme);
    }
}
