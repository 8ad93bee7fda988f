#include "ui/controls/WarpToggle.h"

#include "ui/controls/FocusRing.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
struct Measures {
    qreal width, height, knob, travel, inset;
};
constexpr Measures kSmall{34, 21, 17, 13, 2};
constexpr Measures kNormal{40, 24, 20, 16, 2};
} // namespace

WarpToggle::WarpToggle(bool isOn, TunnelStatus status, bool small, QWidget *parent)
    : QAbstractButton(parent), m_isOn(isOn), m_status(status), m_small(small),
      m_knob(new Animator(FWTheme::warp(), this, isOn ? 1 : 0)), m_squash(new Animator(FWTheme::easeOut(200), this)),
      m_hold(new Animator(FWCurve{QEasingCurve(QEasingCurve::Linear), 460}, this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, &WarpToggle::tapped);
    connect(m_hold, &QAbstractAnimation::finished, this, [this] { setWarp(false); });
}

QSize WarpToggle::sizeHint() const
{
    const Measures &m = m_small ? kSmall : kNormal;
    return {int(m.width), int(m.height)};
}

WarpToggle::Geometry WarpToggle::geometry(qreal position, qreal squash) const
{
    const Measures &m = m_small ? kSmall : kNormal;
    const QRectF track(0, 0, m.width, m.height);
    QRectF knob(m.inset + m.travel * position, (m.height - m.knob) / 2, m.knob, m.knob);
    const QPointF centre = knob.center();
    knob.setSize(QSizeF(m.knob * (1 + 0.18 * squash), m.knob * (1 - 0.18 * squash)));
    knob.moveCenter(centre);
    return {track, knob};
}

bool WarpToggle::hitButton(const QPoint &pos) const
{
    return geometry(m_knob->value(), 0).track.contains(pos);
}

void WarpToggle::setOn(bool on)
{
    if (on == m_isOn)
        return;
    m_isOn = on;
    m_knob->animateTo(on ? 1 : 0);
}

void WarpToggle::setStatus(TunnelStatus status)
{
    m_status = status;
    update();
}

void WarpToggle::tapped()
{
    if (!m_isOn) {
        setWarp(true);
        m_hold->stop();
        m_hold->jumpTo(0);
        m_hold->animateTo(1);
    }
    if (onChange)
        onChange(!m_isOn);
}

void WarpToggle::setWarp(bool warp)
{
    m_warp = warp;
    m_squash->animateTo(warp ? 1 : 0);
}

void WarpToggle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    const qreal position = m_knob->value();
    const Geometry g = geometry(position, m_squash->value());
    const qreal r = g.track.height() / 2;
    QPainterPath track;
    track.addRoundedRect(g.track, r, r);
    painter.fillPath(track, theme.surface3());

    QColor top = theme.flumeSheen, bottom = theme.flumeGreen;
    if (m_status == TunnelStatus::Connecting) {
        top = QColor(255, 192, 77);
        bottom = theme.stAmber;
    } else if (m_status == TunnelStatus::Failed) {
        top = QColor(255, 122, 112);
        bottom = theme.stRed;
    }
    QLinearGradient gradient(g.track.topLeft(), g.track.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.save();
    painter.setOpacity(std::clamp(position, 0.0, 1.0));
    painter.fillPath(track, gradient);
    painter.restore();

    QPainterPath border;
    border.addRoundedRect(g.track.adjusted(0.5, 0.5, -0.5, -0.5), r - 0.5, r - 0.5);
    painter.strokePath(border, QPen(theme.tint(0.07, 0.06), 1));

    // Knob shadow: black at 0.28, softened by two offset layers.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, int(255 * 0.12)));
    painter.drawEllipse(g.knob.adjusted(-0.5, 0.5, 0.5, 1.5));
    painter.setBrush(QColor(0, 0, 0, int(255 * 0.16)));
    painter.drawEllipse(g.knob.translated(0, 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(g.knob);
    if (showsFocusRing(this))
        paintFocusRing(painter, g.track, r, theme);
}
