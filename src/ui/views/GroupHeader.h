#pragma once

#include "engine/AppState.h"
#include "model/TunnelGroup.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class FWLabel;
class PlainIconButton;
class QMenu;
class GroupNameDialog;
class WarpToggle;

// The line that opens a group in the popover: fold chevron, name, count of shown tunnels, the group menu (shown
// while hovered) and a small switch for the whole group.
class GroupHeader : public QWidget {
    Q_OBJECT
public:
    GroupHeader(AppState &state, const TunnelGroup &group, bool collapsed, std::function<void()> onToggleCollapse,
                QWidget *parent = nullptr);
    ~GroupHeader() override;

    QString groupId() const { return m_group.id; }
    QString displayedName() const;
    bool isCollapsed() const { return m_collapsed; }
    void setCollapsed(bool collapsed);

    // Shown tunnels naming this group.
    int count() const { return m_count; }
    // The switch's track colour for a group state: all on green, some on amber, none grey.
    static TunnelStatus toggleStatusFor(GroupToggleState state);
    // Reads the count and the group's state again.
    void refresh();
    // Reads only the group's state again (a tunnel of the group changed status).
    void refreshSwitch();

    bool isHovered() const { return m_hover; }
    void setHovered(bool hover);

    PlainIconButton *foldButton() const { return m_fold; }
    PlainIconButton *menuButton() const { return m_menuButton; }
    WarpToggle *groupSwitch() const { return m_switch; }

    // The group menu (ellipsis menu and context menu alike); owned by `parent`.
    QMenu *createMenu(QWidget *parent);

    // Opens the rename alert with the group's current name as the draft.
    void beginRename();
    bool isRenaming() const { return m_renaming; }
    QString draft() const { return m_draft; }
    GroupNameDialog *renameDialog() const;

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void popUpMenu(const QPoint &globalPos);

    AppState &m_state;
    TunnelGroup m_group;
    bool m_collapsed = false;
    std::function<void()> m_onToggleCollapse;
    int m_count = 0;
    bool m_hover = false;
    bool m_renaming = false;
    QString m_draft;
    QPointer<GroupNameDialog> m_dialog;

    PlainIconButton *m_fold = nullptr;
    FWLabel *m_name = nullptr;
    FWLabel *m_countLabel = nullptr;
    PlainIconButton *m_menuButton = nullptr;
    WarpToggle *m_switch = nullptr;
};
