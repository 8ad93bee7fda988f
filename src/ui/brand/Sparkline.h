#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QWidget>

// Drawing points for samples in a width × height box: first at the left edge, last at the right, the largest
// 12 % below the top and the smallest 12 % above the bottom; none for fewer than two samples.
QList<QPointF> sparklinePoints(const QList<double> &samples, qreal width, qreal height);

// A small latency line with a fading area under it.
class Sparkline : public QWidget {
    Q_OBJECT
public:
    Sparkline(qreal width, qreal height, const QColor &color, QWidget *parent = nullptr);

    void setSamples(const QList<double> &samples);
    QList<double> samples() const { return m_samples; }

    static void paint(QPainter &painter, qreal width, qreal height, const QColor &color, const QList<double> &samples);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_width = 56;
    qreal m_height = 18;
    QColor m_color;
    QList<double> m_samples;
};
