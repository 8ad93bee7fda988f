#pragma once

#include <QWidget>

class QPainter;

// The application icon drawn as vectors: the glyph in brand green and brass on a rounded tile with a soft glow.
class DrawnAppIcon : public QWidget {
    Q_OBJECT
public:
    DrawnAppIcon(qreal size, bool dark, QWidget *parent = nullptr);

    static void paint(QPainter &painter, const QRectF &frame, bool dark);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_size = 64;
    bool m_dark = false;
};
