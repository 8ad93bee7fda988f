#include "ui/controls/FWButton.h"

#include "ui/controls/FocusRing.h"
#include "ui/controls/Icon.h"

#include <QEnterEvent>
#include <QPainter>
#include <cmath>

namespace {
constexpr qreal kIconGap = 5;
}

FWButton::FWButton(const QString &text, FWButtonStyle::Kind kind, bool compact, QWidget *parent)
    : QAbstractButton(parent), m_style(kind, compact)
{
    setText(text);
    setAttribute(Qt::WA_Hover);
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::ArrowCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void FWButton::setButtonStyle(const FWButtonStyle &style)
{
    m_style = style;
    updateGeometry();
    update();
}

void FWButton::setIconName(const QString &name)
{
    m_iconName = name;
    updateGeometry();
    update();
}

QSize FWButton::sizeHint() const
{
    const QFontMetricsF metrics(m_style.font());
    qreal width = metrics.horizontalAdvance(text());
    const qreal iconSize = m_style.font().pointSizeF() / 0.75;
    if (!m_iconName.isEmpty())
        width += iconSize + (text().isEmpty() ? 0 : kIconGap);
    const QMarginsF pad = m_style.padding();
    // One pixel below for the primary kind's shadow.
    return {int(std::ceil(width + pad.left() + pad.right())),
            int(std::ceil(metrics.height() + pad.top() + pad.bottom())) + 1};
}

bool FWButton::hitButton(const QPoint &pos) const
{
    return m_style.shape(QRectF(rect()).adjusted(0, 0, 0, -1)).contains(pos);
}

void FWButton::enterEvent(QEnterEvent *event)
{
    m_pointerInside = true;
    update();
    QAbstractButton::enterEvent(event);
}

void FWButton::leaveEvent(QEvent *event)
{
    m_pointerInside = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void FWButton::paintEvent(QPaintEvent *)
{
    // Drawn as one layer so that a disabled button fades as a whole, shadow and fill together.
    const qreal ratio = devicePixelRatioF();
    QImage layer(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    paintLayer(layer);
    QPainter target(this);
    target.setOpacity(isEnabled() ? 1.0 : 0.4);
    target.drawImage(QPointF(0, 0), layer);
    if (showsFocusRing(this)) {
        target.setOpacity(1);
        paintFocusRing(target, QRectF(rect()).adjusted(0, 0, 0, -1), FWButtonStyle::radius, FWTheme::of(this));
    }
}

void FWButton::paintLayer(QImage &layer) const
{
    QPainter painter(&layer);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    const QRectF bounds = QRectF(rect()).adjusted(0, 0, 0, -1);
    m_style.paintChrome(painter, bounds, theme, {showsHover(), isDown(), isEnabled()});

    const QFont font = m_style.font();
    const QFontMetricsF metrics(font);
    const qreal iconSize = font.pointSizeF() / 0.75;
    const qreal textWidth = metrics.horizontalAdvance(text());
    const qreal contentWidth = textWidth + (m_iconName.isEmpty() ? 0 : iconSize + (text().isEmpty() ? 0 : kIconGap));
    qreal x = bounds.center().x() - contentWidth / 2;
    const QColor foreground = m_style.foreground(theme);
    if (!m_iconName.isEmpty()) {
        Icon::paintSymbol(painter, QRectF(x, bounds.center().y() - iconSize / 2, iconSize, iconSize),
                          Icon::symbolFor(m_iconName), iconSize, QFont::Medium, foreground);
        x += iconSize + kIconGap;
    }
    painter.setFont(font);
    painter.setPen(foreground);
    const qreal baseline = bounds.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    painter.drawText(QPointF(x, baseline), text());
}
