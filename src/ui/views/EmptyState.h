#pragma once

#include "ui/views/ViewActions.h"

#include <QWidget>

class FlumeScene;
class FWButton;

// What the popover shows when no tunnel is listed: the glowing scene, a title, an invitation and a button that
// opens the editor for a new tunnel.
class EmptyState : public QWidget {
    Q_OBJECT
public:
    explicit EmptyState(std::function<void()> newTunnel, QWidget *parent = nullptr);

    static QString title() { return QStringLiteral("No flumes yet"); }
    // The invitation's words, the monospaced path included.
    static QString invitation();
    FWButton *newTunnelButton() const { return m_button; }

private:
    FWButton *m_button = nullptr;
};
