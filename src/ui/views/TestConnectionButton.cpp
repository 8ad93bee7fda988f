#include "ui/views/TestConnectionButton.h"

#include "ui/controls/FocusRing.h"
#include "ui/controls/Icon.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
constexpr qreal kPadX = 8;
constexpr qreal kPadY = 4;
constexpr qreal kGap = 6;
constexpr qreal kIconSize = 14;
// The spinner is drawn at 0.7 of a small 16-pixel spinner.
constexpr qreal kSpinnerSize = 16 * 0.7;

QFont buttonFont()
{
    return FWTheme::font(13, QFont::Medium);
}
} // namespace

TestConnectionButton::TestConnectionButton(QWidget *parent)
    : QAbstractButton(parent), m_hover(new Animator(FWTheme::easeOut(120), this)),
      m_spin(new Animator(FWCurve{QEasingCurve(QEasingCurve::Linear), 900}, this))
{
    setAttribute(Qt::WA_Hover);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(QStringLiteral("Test connection"));
}

QString TestConnectionButton::shownText() const
{
    return m_result ? m_result->message : QStringLiteral("Test connection");
}

FWTheme::Role TestConnectionButton::textRole() const
{
    if (!m_result)
        return FWTheme::Role::Text2;
    return m_result->ok ? FWTheme::Role::StGreen : FWTheme::Role::StRed;
}

void TestConnectionButton::setTesting()
{
    m_testing = true;
    m_result.reset();
    setEnabled(false);
    m_spin->loop();
    updateGeometry();
    update();
}

void TestConnectionButton::setResult(const Result &result)
{
    m_testing = false;
    m_result = result;
    m_spin->stop();
    setEnabled(true);
    setAccessibleDescription(result.message);
    updateGeometry();
    update();
}

QSize TestConnectionButton::sizeHint() const
{
    const QFontMetricsF metrics(buttonFont());
    const qreal width = kPadX + kIconSize + kGap + metrics.horizontalAdvance(shownText()) + kPadX;
    return {int(std::ceil(width)), int(std::ceil(std::max(metrics.height(), kIconSize) + 2 * kPadY))};
}

void TestConnectionButton::enterEvent(QEnterEvent *event)
{
    m_pointerInside = true;
    updateHover();
    QAbstractButton::enterEvent(event);
}

void TestConnectionButton::leaveEvent(QEvent *event)
{
    m_pointerInside = false;
    updateHover();
    QAbstractButton::leaveEvent(event);
}

void TestConnectionButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        updateHover();
    QAbstractButton::changeEvent(event);
}

void TestConnectionButton::updateHover()
{
    m_hover->animateTo(showsHover() ? 1 : 0);
}

void TestConnectionButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    const QRectF bounds(rect());
    if (m_hover->value() > 0) {
        QColor shade = theme.tint(0.06, 0.045);
        shade.setAlphaF(float(shade.alphaF() * m_hover->value()));
        QPainterPath back;
        back.addRoundedRect(bounds, 7, 7);
        painter.fillPath(back, shade);
    }
    const QColor ink = theme.color(textRole());
    const QRectF iconBox(kPadX, bounds.center().y() - kIconSize / 2, kIconSize, kIconSize);
    if (m_testing) {
        // An arc of three quarters turning once every 0.9 s.
        const qreal side = kSpinnerSize;
        QRectF ring(0, 0, side - 1.6, side - 1.6);
        ring.moveCenter(iconBox.center());
        painter.setPen(QPen(theme.text3(), 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawEllipse(ring);
        painter.setPen(QPen(theme.text2(), 1.6, Qt::SolidLine, Qt::RoundCap));
        const int start = int(-360 * 16 * m_spin->value()) + 90 * 16;
        painter.drawArc(ring, start, -100 * 16);
    } else {
        Icon::paintSymbol(painter, iconBox, Icon::symbolFor(QStringLiteral("bolt")), kIconSize, QFont::Medium, ink);
    }
    painter.setFont(buttonFont());
    painter.setPen(ink);
    painter.drawText(bounds.adjusted(kPadX + kIconSize + kGap, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, shownText());
    if (showsFocusRing(this))
        paintFocusRing(painter, bounds, 7, theme);
}
