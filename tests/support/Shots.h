#pragma once

#include <QColor>
#include <QString>

#include <functional>

class QImage;
class QPainter;
class QWidget;

// Writes pictures for people to look at: into the folder named by FLUMEWIRE_TEST_OUTPUT (the build's test-output
// folder), at two pixels per unit. Returns the file written, or an empty text when no folder is set.
namespace Shots {
QString saveImage(const QImage &image, const QString &name);
// The widget at its size hint, over the background (translucent windows need one to be seen).
QString save(QWidget *widget, const QString &name, const QColor &background = Qt::transparent);
// A width×height picture painted over the background.
QString paint(const QString &name, int width, int height, const QColor &background,
              const std::function<void(QPainter &)> &painter);
// "light" or "dark", the suffix of every picture made in both themes.
inline QString theme(bool dark)
{
    return dark ? QStringLiteral("dark") : QStringLiteral("light");
}
} // namespace Shots
