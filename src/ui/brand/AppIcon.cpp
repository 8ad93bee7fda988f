#include "ui/brand/AppIcon.h"

#include "ui/brand/DrawnAppIcon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

AppIcon::AppIcon(qreal size, bool dark, bool dev, QWidget *parent)
    : QWidget(parent), m_size(size), m_dark(dark), m_dev(dev)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
}

QSize AppIcon::sizeHint() const
{
    const int side = int(std::ceil(m_size));
    return {side, side};
}

QString AppIcon::resourceName(bool dark, bool dev)
{
    return QStringLiteral("AppIcon%1-%2")
        .arg(dev ? QStringLiteral("-dev") : QString(), dark ? QStringLiteral("dark") : QStringLiteral("light"));
}

bool AppIcon::paint(QPainter &painter, const QRectF &frame, bool dark, bool dev)
{
    const QImage picture(QStringLiteral(":/brand/%1.png").arg(resourceName(dark, dev)));
    if (picture.isNull()) {
        DrawnAppIcon::paint(painter, frame, dark);
        return false;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(frame, 0.225 * frame.width(), 0.225 * frame.width());
    painter.setClipPath(clip);
    painter.drawImage(frame, picture);
    painter.restore();
    return true;
}

void AppIcon::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, QRectF(0, 0, m_size, m_size), m_dark, m_dev);
}
