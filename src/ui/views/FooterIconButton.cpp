#include "ui/views/FooterIconButton.h"

#include "ui/controls/FocusRing.h"
#include "ui/controls/Icon.h"

#include <QPainter>
#include <QPainterPath>

namespace {
QColor mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}
} // namespace

FooterIconButton::FooterIconButton(const QString &iconName, qreal iconSize, const QString &help, QWidget *parent)
    : QAbstractButton(parent), m_iconName(iconName), m_iconSize(iconSize),
      m_hoverAnim(new Animator(FWTheme::easeOut(120), this))
{
    setFixedSize(sizeHint());
    setToolTip(help);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(help);
}

void FooterIconButton::setHovered(bool hover)
{
    if (hover == m_hover)
        return;
    m_hover = hover;
    m_hoverAnim->animateTo(hover ? 1 : 0);
}

void FooterIconButton::enterEvent(QEnterEvent *event)
{
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void FooterIconButton::leaveEvent(QEvent *event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void FooterIconButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    const qreal t = m_hoverAnim->value();
    const QRectF frame = rect();
    if (t > 0) {
        QColor fill = theme.tint(0.06, 0.045);
        fill.setAlphaF(fill.alphaF() * t);
        QPainterPath shape;
        shape.addRoundedRect(frame, 7, 7);
        painter.fillPath(shape, fill);
    }
    Icon::paintSymbol(painter, frame, Icon::symbolFor(m_iconName), m_iconSize, m_hover ? QFont::Bold : QFont::Normal,
                      mix(theme.text2(), theme.text(), t));
    if (showsFocusRing(this))
        paintFocusRing(painter, frame, 7, theme);
}
