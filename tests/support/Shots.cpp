#include "support/Shots.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QWidget>

namespace Shots {

QString saveImage(const QImage &image, const QString &name)
{
    const QString folder = qEnvironmentVariable("FLUMEWIRE_TEST_OUTPUT");
    if (folder.isEmpty())
        return {};
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    return image.save(path) ? path : QString();
}

QString save(QWidget *widget, const QString &name)
{
    widget->adjustSize();
    QImage image(widget->size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return saveImage(image, name);
}

} // namespace Shots
