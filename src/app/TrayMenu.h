#pragma once

#include <QMenu>

// The tray icon's context menu: how many tunnels are connected, then the ways in (open the popover, a new tunnel,
// the preferences) and out. Some trays deliver only this menu, never a click, so everything the icon offers is
// here too.
class TrayMenu : public QMenu {
    Q_OBJECT
public:
    explicit TrayMenu(QWidget *parent = nullptr);

    void setConnectedCount(int count);
    static QString connectedText(int count);

    QAction *countAction() const { return m_count; }
    QAction *openAction() const { return m_open; }
    QAction *newTunnelAction() const { return m_newTunnel; }
    QAction *preferencesAction() const { return m_preferences; }
    QAction *quitAction() const { return m_quit; }

private:
    QAction *m_count = nullptr;
    QAction *m_open = nullptr;
    QAction *m_newTunnel = nullptr;
    QAction *m_preferences = nullptr;
    QAction *m_quit = nullptr;
};
