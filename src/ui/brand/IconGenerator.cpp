// Writes the desktop's application icon files from the drawn icon: flumewire.svg and flumewire-<N>.png for each
// size, into the folder given as the only argument.
#include "ui/brand/DrawnAppIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: flumewire_icons <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(folder.path());

    QSvgGenerator svg;
    svg.setFileName(folder.filePath(QStringLiteral("flumewire.svg")));
    svg.setSize(QSize(512, 512));
    svg.setViewBox(QRect(0, 0, 512, 512));
    svg.setTitle(QStringLiteral("Flumewire"));
    {
        QPainter painter(&svg);
        DrawnAppIcon::paint(painter, QRectF(0, 0, 512, 512), false);
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            DrawnAppIcon::paint(painter, QRectF(0, 0, size, size), false);
        }
        if (!image.save(folder.filePath(QStringLiteral("flumewire-%1.png").arg(size)))) {
            std::fprintf(stderr, "cannot write icon of size %d\n", size);
            return 1;
        }
    }
    return 0;
}
