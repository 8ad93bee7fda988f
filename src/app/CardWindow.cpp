#include "app/CardWindow.h"

#include "app/WindowShape.h"
#include "ui/theme/FWTheme.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>

CardWindow::CardWindow(int width, bool floating, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | (floating ? Qt::WindowStaysOnTopHint : Qt::Widget)),
      m_floating(floating), m_width(width)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // Kept after closing: the coordinator replaces (and deletes) it when the next card of its slot opens.
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    resize(width, 300);
}

void CardWindow::setContent(QWidget *content)
{
    layout()->addWidget(content);
    layout()->activate();
    const int height = content->hasHeightForWidth() ? content->heightForWidth(m_width) : content->sizeHint().height();
    resize(m_width, std::max(height, 40));
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void CardWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    WindowShape::fitRoundedMask(this, radius);
}

void CardWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(layout()->count() ? layout()->itemAt(0)->widget() : this);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), radius, radius);
    painter.fillPath(card, theme.winBg());
    QPainterPath edge;
    edge.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    painter.strokePath(edge, QPen(theme.hairline(0.1), 1));
}

void CardWindow::keyPressEvent(QKeyEvent *event)
{
    // Keys no control inside took arrive here; a text field leaves Escape alone.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CardWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    emit closed();
}

void CardWindow::mousePressEvent(QMouseEvent *event)
{
    // Only presses that no control took reach the window: those are on the background.
    if (event->button() != Qt::LeftButton)
        return;
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CardWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void CardWindow::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}
