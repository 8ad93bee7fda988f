#pragma once

#include <QColor>
#include <QDir>
#include <QStringList>

#include <functional>

class QImage;
class QPainter;
class QWidget;

// Writes the pictures into one folder at two pixels per unit, "<name>-light.png" / "<name>-dark.png" for views made
// in both themes, and remembers what it wrote and what failed.
class Camera {
public:
    explicit Camera(const QString &folder);

    // The theme the next pictures are named after.
    void setDark(bool dark) { m_dark = dark; }
    bool dark() const { return m_dark; }

    // A top-level window as the desktop composes it, over a mid-grey desktop (cards and the popover have
    // translucent corners).
    void window(QWidget *window, const QString &name);
    // A widget at its own size, over the background.
    void widget(QWidget *widget, const QString &name, const QColor &background = Qt::transparent);
    // A width×height picture painted over the background; named as given, without the theme.
    void paint(const QString &name, int width, int height, const QColor &background,
               const std::function<void(QPainter &)> &painter);

    const QStringList &written() const { return m_written; }
    const QStringList &failed() const { return m_failed; }

private:
    void save(const QImage &image, const QString &fileName);
    QString themed(const QString &name) const;

    QDir m_folder;
    bool m_dark = false;
    QStringList m_written;
    QStringList m_failed;
};
