#pragma once

#include "model/Tunnel.h"
#include "model/TunnelGroup.h"
#include "ui/views/ViewActions.h"

#include <QHash>
#include <QSet>
#include <QWidget>
#include <optional>

class AppState;
class EmptyState;
class FWLabel;
class FooterIconButton;
class GroupHeader;
class NewTunnelButton;
class QScrollArea;
class QVBoxLayout;
class TunnelRow;

// The panel under the tray icon: header with the count, the shown tunnels by group (or the empty state), and the
// footer with New Tunnel, Preferences and Quit. The list is built again only when the tunnel list or the groups
// change; a tunnel's run-time change, a latency sample or a flash redraws that tunnel's row; the uptime tick
// redraws only the uptime texts.
class PopoverView : public QWidget {
    Q_OBJECT
public:
    static constexpr int panelWidth = 350;
    static constexpr int bodyMaxHeight = 340;

    // `displayName` empty means the application's name for the state's build.
    PopoverView(AppState &state, ViewActions actions, const QString &displayName = {}, QWidget *parent = nullptr);

    // Derived lists, as the list shows them.
    static QList<Tunnel> shownTunnels(const AppState &state);
    static QList<TunnelGroup> orderedGroups(const AppState &state);
    static QList<Tunnel> looseTunnels(const AppState &state);
    // "1 tunnel", "N tunnels"; empty for none.
    static QString countText(qsizetype count);

    QString headerCountText() const;
    bool showsEmptyState() const;
    EmptyState *emptyState() const { return m_empty; }
    // The header's line about a failed save; hidden while saving works.
    FWLabel *saveErrorLine() const { return m_saveError; }
    QScrollArea *body() const { return m_scroll; }
    // Whether the "UNGROUPED" caption is in the list.
    bool showsUngroupedCaption() const;
    // The list's entries in order: a group's id as "group:<id>", a tunnel's as "row:<id>", the caption as
    // "caption"; folded rows are left out.
    QStringList listEntries() const;

    TunnelRow *row(const QString &tunnelId) const { return m_rows.value(tunnelId); }
    GroupHeader *header(const QString &groupId) const { return m_headers.value(groupId); }

    const QSet<QString> &collapsed() const { return m_collapsed; }
    void toggleCollapse(const QString &groupId);

    NewTunnelButton *newTunnelButton() const { return m_newTunnel; }
    FooterIconButton *preferencesButton() const { return m_preferences; }
    FooterIconButton *quitButton() const { return m_quit; }
    // How many times the list has been built (diagnostics and tests).
    int rebuildCount() const { return m_rebuilds; }

    // Puts the hover look on exactly the row, header or footer button under the pointer, and takes it off all the
    // others. Pointer events alone leave it stale when the popover hides and shows again or the list scrolls under a
    // still pointer.
    void syncHover();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void rebuild();
    void updateBodyHeight();
    void updateTabOrder();
    void tunnelChanged(const QString &id);
    void openPreferences();
    // Sets every hover look, true only for the one under `globalPos` (none for an invalid point).
    void applyHover(const std::optional<QPoint> &globalPos);

    AppState &m_state;
    ViewActions m_actions;
    QSet<QString> m_collapsed;
    int m_rebuilds = 0;

    FWLabel *m_count = nullptr;
    FWLabel *m_saveError = nullptr;
    EmptyState *m_empty = nullptr;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_list = nullptr;
    QVBoxLayout *m_listLayout = nullptr;
    QWidget *m_caption = nullptr;
    QList<QWidget *> m_entries;
    QHash<QString, TunnelRow *> m_rows;
    QHash<QString, GroupHeader *> m_headers;
    QHash<QString, QList<TunnelRow *>> m_groupRows;
    NewTunnelButton *m_newTunnel = nullptr;
    FooterIconButton *m_preferences = nullptr;
    FooterIconButton *m_quit = nullptr;
};
