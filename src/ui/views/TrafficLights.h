#pragma once

#include <QWidget>
#include <functional>

// The card's own window buttons: three 12-wide circles, of which only the first (close) reacts; it shows a cross
// while the pointer is over the row.
class TrafficLights : public QWidget {
    Q_OBJECT
public:
    explicit TrafficLights(QWidget *parent = nullptr);

    std::function<void()> onClose;
    bool isHovered() const { return m_hover; }
    // The three circles, painted and hit-tested alike.
    QRectF circle(int index) const;

    QSize sizeHint() const override { return {52, 14}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_hover = false;
    bool m_pressedClose = false;
};
