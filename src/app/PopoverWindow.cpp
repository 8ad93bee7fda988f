#include "app/PopoverWindow.h"

#include "app/WindowShape.h"
#include "ui/theme/FWTheme.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace {
constexpr int kGap = 4;
}

PopoverWindow::PopoverWindow(QWidget *content, bool asWindow, QWidget *parent)
    : QWidget(parent, asWindow ? Qt::Window : (Qt::Popup | Qt::FramelessWindowHint)), m_asWindow(asWindow)
{
    if (!asWindow)
        setAttribute(Qt::WA_TranslucentBackground);
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (content)
        layout->addWidget(content);
    adjustSize();
}

QPoint PopoverWindow::placement(const QSize &size, const QRect &anchor, const QRect &screen)
{
    int x = anchor.center().x() - size.width() / 2;
    int y = anchor.bottom() + 1 + kGap;
    if (y + size.height() > screen.bottom() + 1)
        y = anchor.top() - kGap - size.height();
    x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
    y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
    return {x, y};
}

void PopoverWindow::showAt(const QRect &anchor)
{
    QScreen *screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    // A tray that reports no geometry: the top-right corner of the screen.
    const QRect icon = anchor.isValid() ? anchor : QRect(area.right() - 24, area.top(), 24, 24);
    move(placement(size(), icon, area));
    show();
    raise();
    activateWindow();
}

void PopoverWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_asWindow)
        WindowShape::fitRoundedMask(this, radius);
}

void PopoverWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (m_asWindow && event->isAccepted())
        emit closed();
}

void PopoverWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(layout()->count() ? layout()->itemAt(0)->widget() : this);
    if (m_asWindow) {
        painter.fillRect(rect(), theme.winBg());
        return;
    }
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), radius, radius);
    // The popover's own colour is translucent; under a plain X11 popup there is no backdrop to show through, so it
    // sits on the window colour.
    painter.fillPath(shape, theme.winBg());
    painter.fillPath(shape, theme.popBg());
    QPainterPath edge;
    edge.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    painter.strokePath(edge, QPen(theme.hairline(0.12), 1));
}
