#include "ui/brand/FlumeScene.h"

#include "ui/brand/FlumeShapes.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>

FlumeScene::FlumeScene(qreal size, QWidget *parent)
    : QWidget(parent), m_size(size), m_glow(new Animator(FWCurve{QEasingCurve(QEasingCurve::Linear), 5200}, this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
}

QSize FlumeScene::sizeHint() const
{
    const int side = int(std::ceil(m_size));
    return {side, side};
}

qreal FlumeScene::glowOpacity() const
{
    // One linear run of 5.2 s is an eased 2.6 s rise followed by the same fall.
    const qreal t = m_glow->value();
    const qreal leg = t < 0.5 ? t * 2 : 2 - t * 2;
    const qreal eased = FWTheme::easeInOut(2600).easing.valueForProgress(leg);
    return 0.55 + 0.45 * eased;
}

void FlumeScene::showEvent(QShowEvent *event)
{
    if (m_glow->state() != QAbstractAnimation::Running)
        m_glow->loop();
    QWidget::showEvent(event);
}

void FlumeScene::hideEvent(QHideEvent *event)
{
    m_glow->jumpTo(0);
    QWidget::hideEvent(event);
}

void FlumeScene::paint(QPainter &painter, qreal size, qreal glowOpacity, bool dark)
{
    const FWTheme theme(dark);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 132, size / 132);

    // Glow behind everything.
    painter.save();
    painter.setOpacity(glowOpacity);
    QRadialGradient glow(QPointF(66, 74), 58);
    QColor green = theme.flumeSheen;
    green.setAlphaF(dark ? 0.42f : 0.30f);
    glow.setColorAt(0, green);
    green.setAlphaF(0);
    glow.setColorAt(1, green);
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(QPointF(66, 74), 58, 58);
    painter.restore();

    // Water pool and shadow.
    painter.setPen(Qt::NoPen);
    QColor pool = theme.flumeGreen;
    pool.setAlphaF(dark ? 0.22f : 0.16f);
    painter.setBrush(pool);
    painter.drawEllipse(QRectF(24, 104, 84, 14));
    painter.setBrush(QColor(0, 0, 0, dark ? 80 : 36));
    painter.drawEllipse(QRectF(40, 106, 52, 8));

    const QRectF grid(26, 16, 80, 80);
    QLinearGradient bodyFill(QPointF(0, 48), QPointF(0, 96));
    bodyFill.setColorAt(0, theme.flumeSheen);
    bodyFill.setColorAt(1, theme.flumeGreenDeep);
    painter.fillPath(FlumeShapes::body(grid), bodyFill);
    painter.strokePath(FlumeShapes::body(grid), QPen(theme.flumeRim, 1.2));
    QLinearGradient collarFill(QPointF(0, 30), QPointF(0, 44));
    collarFill.setColorAt(0, theme.brassHi);
    collarFill.setColorAt(1, theme.brassDeep);
    painter.fillPath(FlumeShapes::collar(grid), collarFill);
    painter.strokePath(FlumeShapes::collar(grid), QPen(theme.brassDeep.darker(125), 1.2));
    // Falling water from the body's foot.
    QColor water = theme.flumeHi;
    water.setAlphaF(0.7f);
    painter.setBrush(water);
    painter.drawRoundedRect(QRectF(60, 86, 12, 22), 5, 5);
    painter.restore();
}

void FlumeScene::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, m_size, glowOpacity(), FWTheme::of(this).dark);
}
