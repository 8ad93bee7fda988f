#pragma once

#include <QWidget>

// The popover: a frameless window that closes when the user clicks elsewhere, shown under (or above) the tray
// icon and kept on screen. Without a tray it becomes an ordinary small window.
class PopoverWindow : public QWidget {
    Q_OBJECT
public:
    explicit PopoverWindow(QWidget *content, bool asWindow = false, QWidget *parent = nullptr);

    static constexpr qreal radius = 12;
    bool isPlainWindow() const { return m_asWindow; }
    // Shows the popover anchored to an icon's rectangle on the screen that holds it.
    void showAt(const QRect &anchor);

    // Where a popover of `size` goes for an icon at `anchor`: centred under it, or above it when there is no room
    // below, then moved fully inside `screen`.
    static QPoint placement(const QSize &size, const QRect &anchor, const QRect &screen);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_asWindow = false;
};
