#pragma once

#include <QPoint>
#include <QWidget>

// A borderless card: a translucent top-level window that draws its own rounded background, can be dragged by
// any part of the background and, when floating, stays above other windows. Escape closes it, as it closes any
// dialog on the desktop.
class CardWindow : public QWidget {
    Q_OBJECT
public:
    CardWindow(int width, bool floating, QWidget *parent = nullptr);

    static constexpr qreal radius = 12;
    bool isFloating() const { return m_floating; }
    // Puts the content in, sizes the window to the content's fitting height and centres it on the screen.
    void setContent(QWidget *content);

signals:
    // The card was closed (its close button, Escape, or its owner).
    void closed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_floating = false;
    int m_width = 0;
    bool m_dragging = false;
    QPoint m_dragOffset;
};
