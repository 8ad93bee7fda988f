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

signals:
    // The plain window was closed by the user (its close button or the window manager).
    void closed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_asWindow = false;
};
