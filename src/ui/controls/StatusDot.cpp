#include "ui/controls/StatusDot.h"

#include <QPainter>
#include <cmath>

namespace {
constexpr qreal kRippleScale = 3.4;

// The pulse ring (up to 1.9 times the frame) and the ripple (3.4 times the dot) reach past the dot's frame, so
// they are drawn by a see-through sibling laid over the dot.
class RingOverlay : public QWidget {
public:
    RingOverlay(StatusDot *dot, QWidget *parent, qreal size) : QWidget(parent), m_dot(dot), m_size(size)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!m_dot)
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor color = FWTheme::of(m_dot).status(m_dot->status());
        if (m_dot->showsPulseRing())
            StatusDot::paintPulseRing(painter, QRectF(rect()).center(), m_size, m_dot->pulseAnimator()->value(), color);
        if (!m_dot->showsRipple())
            return;
        painter.setOpacity(m_dot->rippleAnimator()->value());
        const qreal diameter = m_size * kRippleScale;
        // A 2-pixel stroke on a circle of the dot's size, scaled with it.
        QRectF ring(0, 0, diameter - 2 * kRippleScale, diameter - 2 * kRippleScale);
        ring.moveCenter(QRectF(rect()).center());
        painter.setPen(QPen(color, 2 * kRippleScale));
        painter.drawEllipse(ring);
    }

private:
    QPointer<StatusDot> m_dot;
    qreal m_size = 8;
};
} // namespace

StatusDot::StatusDot(TunnelStatus status, qreal size, QWidget *parent)
    : QWidget(parent), m_status(status), m_size(size), m_pulse(new Animator(FWTheme::easeOut(1300), this)),
      m_rippleFade(new Animator(FWTheme::easeOut(500), this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
    for (Animator *animator : {m_rippleFade, m_pulse}) {
        connect(animator, &QVariantAnimation::valueChanged, this, [this] {
            if (m_overlay)
                m_overlay->update();
        });
    }
    connect(m_rippleFade, &QAbstractAnimation::finished, this, &StatusDot::endRipple);
    updatePulse();
}

QSize StatusDot::sizeHint() const
{
    const int side = int(std::ceil(m_size + 6));
    return {side, side};
}

StatusDot::Geometry StatusDot::geometry() const
{
    const QRectF frame(0, 0, m_size + 6, m_size + 6);
    QRectF dot(0, 0, m_size, m_size);
    dot.moveCenter(frame.center());
    return {frame, dot};
}

bool StatusDot::showsHalo() const
{
    return m_status == TunnelStatus::Connected || m_status == TunnelStatus::Failed;
}

void StatusDot::setStatus(TunnelStatus status)
{
    if (status == m_status)
        return;
    m_status = status;
    updatePulse();
    update();
}

void StatusDot::updatePulse()
{
    if (m_status == TunnelStatus::Connecting) {
        if (m_pulse->state() != QAbstractAnimation::Running)
            m_pulse->loop();
    } else {
        m_pulse->jumpTo(0);
    }
    updateOverlay();
}

void StatusDot::updateOverlay()
{
    const bool needed = (showsPulseRing() || m_ripple) && parentWidget();
    if (needed && !m_overlay)
        m_overlay = new RingOverlay(this, parentWidget(), m_size);
    if (!needed && m_overlay) {
        m_overlay->hide();
        m_overlay->deleteLater();
        m_overlay = nullptr;
    }
    placeOverlay();
}

void StatusDot::setWarp(bool warp)
{
    const bool rising = warp && !m_warp;
    m_warp = warp;
    if (!rising)
        return;
    // Restart the ripple: off, then fading in over 0.5 s, then removed at once.
    m_ripple = true;
    updateOverlay();
    m_rippleFade->jumpTo(0);
    m_rippleFade->animateTo(1);
}

void StatusDot::endRipple()
{
    m_ripple = false;
    m_rippleFade->jumpTo(0);
    updateOverlay();
}

void StatusDot::placeOverlay()
{
    if (!m_overlay)
        return;
    const int side = int(std::ceil(std::max(m_size * kRippleScale, (m_size + 6) * 1.9))) + 2;
    const QPoint centre = mapToParent(geometry().frame.center().toPoint());
    m_overlay->setGeometry(centre.x() - side / 2, centre.y() - side / 2, side, side);
    m_overlay->raise();
    m_overlay->setVisible(isVisible());
}

void StatusDot::moveEvent(QMoveEvent *event)
{
    placeOverlay();
    QWidget::moveEvent(event);
}

void StatusDot::hideEvent(QHideEvent *event)
{
    if (m_overlay)
        m_overlay->hide();
    QWidget::hideEvent(event);
}

void StatusDot::showEvent(QShowEvent *event)
{
    updateOverlay();
    QWidget::showEvent(event);
}

void StatusDot::paintDot(QPainter &painter, const QRectF &frame, qreal size, TunnelStatus status, qreal pulse,
                         const QColor &color)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    const QPointF centre = frame.center();
    if (status == TunnelStatus::Connected || status == TunnelStatus::Failed) {
        QColor halo = color;
        halo.setAlphaF(status == TunnelStatus::Connected ? 0.22f : 0.2f);
        painter.setBrush(halo);
        painter.drawEllipse(centre, (size + 6) / 2, (size + 6) / 2);
    }
    if (status == TunnelStatus::Connecting && pulse >= 0)
        paintPulseRing(painter, centre, size, pulse, color);
    QColor dot = color;
    dot.setAlphaF(status == TunnelStatus::Idle ? 0.85f : 1.0f);
    painter.setBrush(dot);
    painter.drawEllipse(centre, size / 2, size / 2);
    painter.restore();
}

void StatusDot::paintPulseRing(QPainter &painter, const QPointF &centre, qreal size, qreal pulse, const QColor &color)
{
    painter.save();
    const qreal scale = 0.7 + (1.9 - 0.7) * pulse;
    QColor ring = color;
    ring.setAlphaF(float(0.9 * (1 - pulse)));
    const qreal radius = (size + 6) / 2 * scale;
    // Drawn inside its edge: the stroke's centre sits half a width in.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(ring, 1.5 * scale));
    painter.drawEllipse(centre, radius - 0.75 * scale, radius - 0.75 * scale);
    painter.restore();
}

void StatusDot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // With a parent the rings are drawn by the overlay; a lone dot draws its pulse itself, clipped to its frame.
    const qreal pulse = m_overlay ? -1 : m_pulse->value();
    paintDot(painter, geometry().frame, m_size, m_status, pulse, FWTheme::of(this).status(m_status));
}
