#include "ui/controls/FWTextField.h"

#include "ui/theme/FWRoot.h"

#include <QPainter>
#include <QPainterPath>

namespace {
QColor mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(
        float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
        float(a.blueF() + (b.blueF() - a.blueF()) * t), float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}
} // namespace

FWTextField::FWTextField(const QString &placeholder, bool mono, bool secure, bool centered, QWidget *parent)
    : QLineEdit(parent), m_focus(new Animator(FWTheme::easeOut(150), this)), m_mono(mono)
{
    setPlaceholderText(placeholder);
    setFont(mono ? FWTheme::font(12, QFont::Normal, true) : FWTheme::font(13));
    setFrame(false);
    setEchoMode(secure ? QLineEdit::Password : QLineEdit::Normal);
    setAlignment(centered ? Qt::AlignCenter : (Qt::AlignLeading | Qt::AlignVCenter));
    setTextMargins(9 + ringMargin, 6 + ringMargin, 9 + ringMargin, 6 + ringMargin);
    setAttribute(Qt::WA_TranslucentBackground);
    applyTheme();
}

QRectF FWTextField::fieldRect() const
{
    return QRectF(rect()).adjusted(ringMargin, ringMargin, -ringMargin, -ringMargin);
}

QSize FWTextField::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {180, metrics.height() + 12 + 2 * ringMargin};
}

void FWTextField::applyTheme()
{
    const FWTheme theme = FWTheme::of(this);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, theme.text());
    pal.setColor(QPalette::PlaceholderText, theme.text3());
    pal.setColor(QPalette::Highlight, theme.accent());
    pal.setColor(QPalette::HighlightedText, Qt::white);
    setPalette(pal);
}

bool FWTextField::event(QEvent *event)
{
    // The palette bakes theme colours: take them again when the theme changes, when moved, and when first shown (a
    // field nested in a widget that joined an already themed window gets no other notice).
    if (event->type() == FWRoot::themeChangeEvent() || event->type() == QEvent::ParentChange ||
        event->type() == QEvent::Polish)
        applyTheme();
    return QLineEdit::event(event);
}

void FWTextField::focusInEvent(QFocusEvent *event)
{
    m_focus->animateTo(1);
    QLineEdit::focusInEvent(event);
}

void FWTextField::focusOutEvent(QFocusEvent *event)
{
    m_focus->animateTo(0);
    QLineEdit::focusOutEvent(event);
}

void FWTextField::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const FWTheme theme = FWTheme::of(this);
        const QRectF field = fieldRect();
        const qreal focus = m_focus->value();
        QPainterPath fill;
        fill.addRoundedRect(field, radius, radius);
        painter.fillPath(fill, theme.fieldFill());
        QPainterPath border;
        border.addRoundedRect(field.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
        painter.strokePath(border, QPen(mix(theme.hairline(0.13), theme.accent(), focus), 1));
        if (focus > 0) {
            // The ring's 3-pixel stroke is centred 1.5 outside the field's edge.
            QColor ring = theme.accent();
            ring.setAlphaF(float(0.24 * focus));
            QPainterPath outer;
            outer.addRoundedRect(field.adjusted(-1.5, -1.5, 1.5, 1.5), radius, radius);
            painter.strokePath(outer, QPen(ring, 3));
        }
    }
    QLineEdit::paintEvent(event);
}
