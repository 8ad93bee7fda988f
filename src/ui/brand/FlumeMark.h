#pragma once

#include <QColor>
#include <QWidget>

class QPainter;

// The brand glyph in one colour: both outlines, with the body or everything filled.
class FlumeMark : public QWidget {
    Q_OBJECT
public:
    enum class Fill { Outline, Body, Full };

    FlumeMark(Fill fill, qreal size, const QColor &color, QWidget *parent = nullptr);

    // Draws the mark in a square of side `size` at `origin`.
    static void paint(QPainter &painter, const QPointF &origin, Fill fill, qreal size, const QColor &color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Fill m_fill = Fill::Outline;
    qreal m_size = 18;
    QColor m_color;
};
