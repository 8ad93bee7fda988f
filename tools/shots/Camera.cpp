#include "Camera.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>

Camera::Camera(const QString &folder) : m_folder(folder) {}

QString Camera::themed(const QString &name) const
{
    return name + (m_dark ? QStringLiteral("-dark") : QStringLiteral("-light"));
}

void Camera::save(const QImage &image, const QString &fileName)
{
    const QString path = m_folder.filePath(fileName + QStringLiteral(".png"));
    (image.save(path) ? m_written : m_failed).append(path);
}

static QImage canvas(QSize size, const QColor &background)
{
    QImage image(size * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(background);
    return image;
}

void Camera::window(QWidget *window, const QString &name)
{
    QCoreApplication::processEvents();
    QImage image = canvas(window->size(), QColor(128, 128, 132));
    {
        QPainter painter(&image);
        window->render(&painter, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    save(image, themed(name));
}

void Camera::widget(QWidget *widget, const QString &name, const QColor &background)
{
    widget->adjustSize();
    QCoreApplication::processEvents();
    QImage image = canvas(widget->size(), background);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    save(image, themed(name));
}

void Camera::paint(const QString &name, int width, int height, const QColor &background,
                   const std::function<void(QPainter &)> &painter)
{
    QImage image = canvas(QSize(width, height), background);
    {
        QPainter p(&image);
        painter(p);
    }
    save(image, name);
}
