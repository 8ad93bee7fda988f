#include "ui/brand/AppIconView.h"

#include "ui/brand/AppIcon.h"
#include "ui/theme/FWTheme.h"

#include <QPainter>
#include <QPainterPath>

AppIconView::AppIconView(int side, qreal cornerRadius, bool dev, QWidget *parent)
    : QWidget(parent), m_radius(cornerRadius), m_dev(dev)
{
    setFixedSize(side, side);
    setAttribute(Qt::WA_TranslucentBackground);
}

void AppIconView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_radius > 0) {
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), m_radius, m_radius);
        painter.setClipPath(clip);
    }
    AppIcon::paint(painter, QRectF(rect()), FWTheme::of(this).dark, m_dev);
}
