#include "ui/views/ResizeGrip.h"

#include "ui/theme/FWTheme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

ResizeGrip::ResizeGrip(QWidget *parent) : QWidget(parent)
{
    setFixedSize(side, side);
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::SizeVerCursor);
    setAccessibleName(QStringLiteral("Resize"));
}

void ResizeGrip::paintEvent(QPaintEvent *)
{
    // Two short diagonal strokes in the corner.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(FWTheme::of(this).text3(), 1.2, Qt::SolidLine, Qt::RoundCap));
    const qreal s = side - 3;
    painter.drawLine(QPointF(s, s - 7), QPointF(s - 7, s));
    painter.drawLine(QPointF(s, s - 3.5), QPointF(s - 3.5, s));
}

void ResizeGrip::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    QWidget *top = window();
    if (top->windowHandle() && top->windowHandle()->startSystemResize(Qt::BottomEdge))
        return;
    m_dragging = true;
    m_startY = event->globalPosition().toPoint().y();
    m_startHeight = top->height();
}

void ResizeGrip::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    QWidget *top = window();
    const int height = m_startHeight + event->globalPosition().toPoint().y() - m_startY;
    top->resize(top->width(), std::max(height, top->minimumSizeHint().height()));
}

void ResizeGrip::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}
