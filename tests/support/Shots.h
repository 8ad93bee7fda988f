#pragma once

#include <QString>

class QImage;
class QWidget;

// Writes pictures of widgets for people to look at: into the folder named by FLUMEWIRE_TEST_OUTPUT (the build's
// test-output folder), at two pixels per unit. Returns the file written, or an empty text when no folder is set.
namespace Shots {
QString save(QWidget *widget, const QString &name);
QString saveImage(const QImage &image, const QString &name);
} // namespace Shots
