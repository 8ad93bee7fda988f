#pragma once

#include <QWidget>

// A corner handle that makes its borderless window taller or shorter (never wider): dragged through the window
// manager where it can, else by moving the window's bottom edge with the pointer. Never below `minimumHeight`.
class ResizeGrip : public QWidget {
    Q_OBJECT
public:
    explicit ResizeGrip(QWidget *parent = nullptr);

    static constexpr int side = 14;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_dragging = false;
    int m_startY = 0;
    int m_startHeight = 0;
};
