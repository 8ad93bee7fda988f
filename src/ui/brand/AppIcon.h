#pragma once

#include <QWidget>

class QPainter;

// The application icon: the bundled picture for this build and variant when there is one (resources
// ":/brand/AppIcon[-dev]-dark|light.png"), otherwise the drawn rendition.
class AppIcon : public QWidget {
    Q_OBJECT
public:
    AppIcon(qreal size, bool dark, bool dev, QWidget *parent = nullptr);

    static QString resourceName(bool dark, bool dev);
    // Paints the icon into a square; returns true when a bundled picture was used.
    static bool paint(QPainter &painter, const QRectF &frame, bool dark, bool dev);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_size = 64;
    bool m_dark = false;
    bool m_dev = false;
};
