#include "ui/brand/Sparkline.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

QList<QPointF> sparklinePoints(const QList<double> &samples, qreal width, qreal height)
{
    QList<QPointF> points;
    const qsizetype n = samples.size();
    if (n < 2)
        return points;
    const auto [lo, hi] = std::minmax_element(samples.begin(), samples.end());
    const double span = *hi - *lo <= 0.0001 ? 0.0001 : *hi - *lo;
    for (qsizetype i = 0; i < n; ++i) {
        const double x = width / double(n - 1) * double(i);
        const double y = height - height * (0.76 * (samples[i] - *lo) / span + 0.12);
        points.append(QPointF(x, y));
    }
    return points;
}

Sparkline::Sparkline(qreal width, qreal height, const QColor &color, QWidget *parent)
    : QWidget(parent), m_width(width), m_height(height), m_color(color)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
}

QSize Sparkline::sizeHint() const
{
    return {int(std::ceil(m_width)), int(std::ceil(m_height))};
}

void Sparkline::setSamples(const QList<double> &samples)
{
    m_samples = samples;
    update();
}

void Sparkline::paint(QPainter &painter, qreal width, qreal height, const QColor &color, const QList<double> &samples)
{
    const QList<QPointF> points = sparklinePoints(samples, width, height);
    if (points.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath line;
    line.moveTo(points.first());
    for (qsizetype i = 1; i < points.size(); ++i)
        line.lineTo(points[i]);
    QPainterPath area = line;
    area.lineTo(width, height);
    area.lineTo(0, height);
    area.closeSubpath();
    QLinearGradient fade(QPointF(0, 0), QPointF(0, height));
    QColor top = color, bottom = color;
    top.setAlphaF(0.34f);
    bottom.setAlphaF(0);
    fade.setColorAt(0, top);
    fade.setColorAt(1, bottom);
    painter.fillPath(area, fade);
    QPen pen(color, 1.5);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.strokePath(line, pen);
    painter.restore();
}

void Sparkline::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, m_width, m_height, m_color, m_samples);
}
