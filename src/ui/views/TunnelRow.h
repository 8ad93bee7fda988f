#pragma once

#include "model/Tunnel.h"
#include "ui/controls/Animator.h"
#include "ui/views/ViewActions.h"

#include <QWidget>

class AppState;
class FWLabel;
class MiniRoute;
class PlainIconButton;
class QHBoxLayout;
class QMenu;
class QVBoxLayout;
class Sparkline;
class StatusDot;
class TypeChip;
class WarpToggle;

// One tunnel in the popover: status dot, name with the backup badge and type chip, the route or the failure, a
// trailing block (hover actions, latency and uptime, or "Connecting…") and the switch. Redrawn from AppState by
// refresh(); the popover calls it for this tunnel's changes only.
class TunnelRow : public QWidget {
    Q_OBJECT
public:
    enum class Trailing { None, HoverActions, Uptime, Connecting };

    TunnelRow(AppState &state, const ViewActions &actions, const QString &id, bool isLast, QWidget *parent = nullptr);

    QString tunnelId() const { return m_tunnel.id; }
    const Tunnel &tunnel() const { return m_tunnel; }
    bool isLast() const { return m_isLast; }

    // Reads the tunnel again; returns true when its status changed (the group switch may need redrawing).
    bool refresh();
    // Reads only the uptime again (the once-a-second tick).
    void refreshUptime();

    bool isHovered() const { return m_hover; }
    void setHovered(bool hover);
    // The keyboard is on one of the row's controls: the row then offers its actions as it does under the pointer.
    bool hasFocusWithin() const { return m_focusWithin; }

    // Connected, and the tunnel has a browser address.
    bool canOpenInBrowser() const;
    // Backup host given, running on it, and on (connected or connecting).
    static bool showsBackupBadge(const Tunnel &tunnel);
    bool backupBadgeVisible() const;
    // The failure text when failed ("Failed" when there is no reason), else empty.
    QString failureText() const;
    bool routeVisible() const;
    MiniRoute *route() const { return m_route; }

    Trailing trailing() const { return m_trailing; }
    bool sparklineVisible() const;
    QString sparklineToolTip() const;
    QString uptimeText() const;
    bool openButtonVisible() const;
    QString openButtonToolTip() const;

    StatusDot *statusDot() const { return m_dot; }
    FWLabel *nameLabel() const { return m_name; }
    WarpToggle *toggle() const { return m_toggle; }
    PlainIconButton *menuButton() const { return m_menuButton; }
    PlainIconButton *openButton() const { return m_openButton; }
    Animator *hoverAnimator() const { return m_hoverAnim; }

    // The row menu (actions menu and context menu alike); owned by `parent`.
    QMenu *createMenu(QWidget *parent);
    // Closes the popover, then opens the browser address; nothing when it cannot be opened.
    void openInBrowser();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateTrailing();
    void ensureHoverActions();
    void ensureUptime();
    void updateAccessibleNames();
    // Shows the actions while the keyboard is on one of the row's controls.
    void syncFocus();
    // Room kept for the hover actions, so that showing them never narrows the name and the route.
    int actionsWidth() const;
    void popUpMenu(const QPoint &globalPos);

    AppState &m_state;
    const ViewActions &m_actions;
    Tunnel m_tunnel;
    bool m_isLast = false;
    bool m_hover = false;
    bool m_focusWithin = false;
    Trailing m_trailing = Trailing::None;

    QHBoxLayout *m_firstLine = nullptr;
    QVBoxLayout *m_column = nullptr;
    StatusDot *m_dot = nullptr;
    FWLabel *m_name = nullptr;
    QWidget *m_badge = nullptr;
    TypeChip *m_chip = nullptr;
    FWLabel *m_failed = nullptr;
    MiniRoute *m_route = nullptr;
    QWidget *m_trailingBox = nullptr;
    QWidget *m_hoverActions = nullptr;
    PlainIconButton *m_openButton = nullptr;
    PlainIconButton *m_menuButton = nullptr;
    QWidget *m_uptimeBox = nullptr;
    Sparkline *m_sparkline = nullptr;
    QWidget *m_uptime = nullptr;
    FWLabel *m_connecting = nullptr;
    WarpToggle *m_toggle = nullptr;
    Animator *m_hoverAnim = nullptr;
};
