#include "support/Shots.h"

#include <QCoreApplication>
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

static QImage canvas(QSize size, const QColor &background)
{
    QImage image(size * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(background);
    return image;
}

QString save(QWidget *widget, const QString &name, const QColor &background)
{
    widget->adjustSize();
    QCoreApplication::processEvents();
    QImage image = canvas(widget->size(), background);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return saveImage(image, name);
}

QString paint(const QString &name, int width, int height, const QColor &background,
              const std::function<void(QPainter &)> &painter)
{
    QImage image = canvas(QSize(width, height), background);
    {
        QPainter p(&image);
        painter(p);
    }
    return saveImage(image, name);
}

} // namespace Shots
