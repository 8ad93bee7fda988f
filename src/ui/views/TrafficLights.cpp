#include "ui/views/TrafficLights.h"

#include "ui/controls/Icon.h"

#include <QMouseEvent>
#include <QPainter>

TrafficLights::TrafficLights(QWidget *parent) : QWidget(parent)
{
    setFixedSize(sizeHint());
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_Hover);
    setAccessibleName(QStringLiteral("Close"));
}

QRectF TrafficLights::circle(int index) const
{
    return {index * 20.0, (height() - 12) / 2.0, 12, 12};
}

void TrafficLights::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor fills[] = {QColor(255, 95, 87), QColor(254, 188, 46), QColor(40, 200, 64)};
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(fills[i]);
        painter.drawEllipse(circle(i));
    }
    if (m_hover)
        Icon::paintSymbol(painter, circle(0), QStringLiteral("xmark"), 7, QFont::Bold, QColor(0, 0, 0, 128));
}

void TrafficLights::enterEvent(QEnterEvent *)
{
    m_hover = true;
    update();
}

void TrafficLights::leaveEvent(QEvent *)
{
    m_hover = false;
    update();
}

void TrafficLights::mousePressEvent(QMouseEvent *event)
{
    m_pressedClose = event->button() == Qt::LeftButton && circle(0).contains(event->position());
    // Presses elsewhere fall through to the card, which moves the window.
    if (!m_pressedClose)
        event->ignore();
}

void TrafficLights::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressedClose && circle(0).contains(event->position());
    m_pressedClose = false;
    if (click && onClose)
        onClose();
}
