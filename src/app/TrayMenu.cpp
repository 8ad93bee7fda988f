#include "app/TrayMenu.h"

TrayMenu::TrayMenu(QWidget *parent) : QMenu(parent)
{
    m_count = addAction(connectedText(0));
    m_count->setEnabled(false);
    addSeparator();
    m_open = addAction(QStringLiteral("Open Flumewire"));
    m_newTunnel = addAction(QStringLiteral("New Tunnel…"));
    m_preferences = addAction(QStringLiteral("Preferences…"));
    addSeparator();
    m_quit = addAction(QStringLiteral("Quit Flumewire"));
    m_quit->setMenuRole(QAction::QuitRole);
}

QString TrayMenu::connectedText(int count)
{
    if (count == 0)
        return QStringLiteral("No tunnels connected");
    return QStringLiteral("%1 connected").arg(count);
}

void TrayMenu::setConnectedCount(int count)
{
    m_count->setText(connectedText(count));
}
