#include "ui/views/PopoverView.h"

#include "engine/AppState.h"
#include "ui/brand/AppIconView.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/WarpToggle.h"
#include "ui/views/EmptyState.h"
#include "ui/views/FooterIconButton.h"
#include "ui/views/GroupHeader.h"
#include "ui/views/Hairline.h"
#include "ui/views/NewTunnelButton.h"
#include "ui/views/PlainIconButton.h"
#include "ui/views/ThinScrollBar.h"
#include "ui/views/TunnelRow.h"

#include <QBoxLayout>
#include <QCursor>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

namespace {

// The footer's strip of surface colour at 0.3.
class Footer : public QWidget {
public:
    explicit Footer(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_TranslucentBackground); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QColor fill = FWTheme::of(this).surface();
        fill.setAlphaF(0.3);
        QPainter(this).fillRect(rect(), fill);
    }
};

// The list's content: as tall as its entries, as wide as the scroll area.
class ListWidget : public QWidget {
public:
    explicit ListWidget(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_TranslucentBackground); }
};

} // namespace

PopoverView::PopoverView(AppState &state, ViewActions actions, const QString &displayName, QWidget *parent)
    : QWidget(parent), m_state(state), m_actions(std::move(actions))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedWidth(panelWidth);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->setSizeConstraint(QLayout::SetFixedSize);

    auto header = new QHBoxLayout;
    header->setContentsMargins(12, 11, 12, 10);
    header->setSpacing(9);
    header->addWidget(new AppIconView(22, 6, state.isDevelopmentBuild(), this), 0, Qt::AlignVCenter);
    const QString name = displayName.isEmpty() ? (state.isDevelopmentBuild() ? QStringLiteral("Flumewire (Dev)")
                                                                             : QStringLiteral("Flumewire"))
                                               : displayName;
    header->addWidget(new FWLabel(name, FWTheme::font(13, QFont::Bold), FWTheme::Role::Text, this), 0,
                      Qt::AlignVCenter);
    header->addStretch(1);
    m_count = new FWLabel({}, FWTheme::font(11, QFont::Medium), FWTheme::Role::Text3, this);
    header->addWidget(m_count, 0, Qt::AlignVCenter);
    column->addLayout(header);
    // A failed save stays in view until a later one succeeds: the tunnels on screen are not on disk.
    m_saveError = new FWLabel({}, FWTheme::font(11, QFont::Medium), FWTheme::Role::StRed, this);
    m_saveError->setWrapping(true);
    auto errorLine = new QHBoxLayout;
    errorLine->setContentsMargins(12, 0, 12, 9);
    errorLine->addWidget(m_saveError);
    column->addLayout(errorLine);
    auto showSaveError = [this] {
        const QString error = m_state.saveError();
        m_saveError->setText(error.isEmpty() ? QString() : QStringLiteral("Could not save tunnels: ") + error);
        m_saveError->setAccessibleName(m_saveError->text());
        m_saveError->setVisible(!error.isEmpty());
    };
    showSaveError();
    connect(&m_state, &AppState::saveFailed, this, showSaveError);
    connect(&m_state, &AppState::saveRecovered, this, showSaveError);
    column->addWidget(new Hairline(this));

    m_empty = new EmptyState(
        [this] {
            if (m_actions.newTunnel)
                m_actions.newTunnel();
        },
        this);
    m_empty->setFixedWidth(panelWidth);
    column->addWidget(m_empty);

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    // The keyboard goes to the controls in the list, not to the scroll area around them.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    m_scroll->setAttribute(Qt::WA_TranslucentBackground);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setFixedWidth(panelWidth);
    makeThinScrollBar(m_scroll->verticalScrollBar());
    m_list = new ListWidget(m_scroll);
    m_listLayout = new QVBoxLayout(m_list);
    m_listLayout->setContentsMargins(6, 6, 6, 6);
    m_listLayout->setSpacing(0);
    m_listLayout->addStretch(1);
    m_scroll->setWidget(m_list);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (isVisible())
            syncHover();
    });
    m_list->setAutoFillBackground(false);
    column->addWidget(m_scroll);

    column->addWidget(new Hairline(this));
    auto footer = new Footer(this);
    auto footerLine = new QHBoxLayout(footer);
    footerLine->setContentsMargins(10, 8, 10, 8);
    footerLine->setSpacing(8);
    m_newTunnel = new NewTunnelButton(footer);
    connect(m_newTunnel, &QAbstractButton::clicked, this, [this] {
        if (m_actions.newTunnel)
            m_actions.newTunnel();
    });
    footerLine->addWidget(m_newTunnel, 1);
    m_preferences = new FooterIconButton(QStringLiteral("sliders"), 16, QStringLiteral("Preferences"), footer);
    connect(m_preferences, &QAbstractButton::clicked, this, &PopoverView::openPreferences);
    footerLine->addWidget(m_preferences);
    m_quit = new FooterIconButton(QStringLiteral("power"), 15, QStringLiteral("Quit Flumewire"), footer);
    connect(m_quit, &QAbstractButton::clicked, this, [this] {
        if (m_actions.quit)
            m_actions.quit();
    });
    footerLine->addWidget(m_quit);
    column->addWidget(footer);

    connect(&state, &AppState::tunnelChanged, this, &PopoverView::tunnelChanged);
    connect(&state, &AppState::uptimeTicked, this, [this] {
        for (TunnelRow *row : std::as_const(m_rows))
            row->refreshUptime();
    });
    connect(&state, &AppState::flashChanged, this, [this](const QString &id, bool) {
        if (TunnelRow *row = m_rows.value(id))
            row->refresh();
    });
    connect(&state, &AppState::tunnelsChanged, this, &PopoverView::rebuild);
    connect(&state, &AppState::groupsChanged, this, &PopoverView::rebuild);
    rebuild();
}

QList<Tunnel> PopoverView::shownTunnels(const AppState &state)
{
    QList<Tunnel> shown;
    for (const Tunnel &tunnel : state.tunnels()) {
        if (tunnel.showInMenu)
            shown.append(tunnel);
    }
    return shown;
}

QList<TunnelGroup> PopoverView::orderedGroups(const AppState &state)
{
    QSet<QString> named;
    for (const Tunnel &tunnel : state.tunnels()) {
        if (tunnel.showInMenu && tunnel.groupId)
            named.insert(*tunnel.groupId);
    }
    QList<TunnelGroup> groups;
    for (const TunnelGroup &group : state.groups()) {
        if (named.contains(group.id))
            groups.append(group);
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const TunnelGroup &a, const TunnelGroup &b) { return a.order < b.order; });
    return groups;
}

QList<Tunnel> PopoverView::looseTunnels(const AppState &state)
{
    QSet<QString> groupIds;
    for (const TunnelGroup &group : state.groups())
        groupIds.insert(group.id);
    QList<Tunnel> loose;
    for (const Tunnel &tunnel : state.tunnels()) {
        if (tunnel.showInMenu && (!tunnel.groupId || !groupIds.contains(*tunnel.groupId)))
            loose.append(tunnel);
    }
    return loose;
}

QString PopoverView::countText(qsizetype count)
{
    if (count == 0)
        return {};
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? QStringLiteral("tunnel") : QStringLiteral("tunnels"));
}

QString PopoverView::headerCountText() const
{
    return m_count->isVisibleTo(this) ? m_count->text() : QString();
}

bool PopoverView::showsEmptyState() const
{
    return m_empty->isVisibleTo(this);
}

bool PopoverView::showsUngroupedCaption() const
{
    return m_caption != nullptr;
}

QStringList PopoverView::listEntries() const
{
    QStringList entries;
    for (QWidget *entry : m_entries) {
        if (!entry->isVisibleTo(m_list))
            continue;
        if (auto row = qobject_cast<TunnelRow *>(entry))
            entries.append(QStringLiteral("row:") + row->tunnelId());
        else if (auto header = qobject_cast<GroupHeader *>(entry))
            entries.append(QStringLiteral("group:") + header->groupId());
        else if (entry == m_caption)
            entries.append(QStringLiteral("caption"));
    }
    return entries;
}

void PopoverView::rebuild()
{
    ++m_rebuilds;
    // Old entries may be in the middle of handling the very click that changed the list (a menu item, the rename
    // alert), so they are retired later rather than destroyed now.
    for (QWidget *entry : std::as_const(m_entries)) {
        m_listLayout->removeWidget(entry);
        entry->hide();
        entry->deleteLater();
    }
    m_entries.clear();
    m_rows.clear();
    m_headers.clear();
    m_groupRows.clear();
    m_caption = nullptr;

    const QList<Tunnel> shown = shownTunnels(m_state);
    const QString count = countText(shown.size());
    m_count->setText(count);
    m_count->setVisible(!count.isEmpty());
    m_empty->setVisible(shown.isEmpty());
    m_scroll->setVisible(!shown.isEmpty());
    if (shown.isEmpty()) {
        updateBodyHeight();
        return;
    }

    // Entries go before the trailing stretch.
    auto add = [this](QWidget *entry, bool visible = true) {
        m_listLayout->insertWidget(m_listLayout->count() - 1, entry);
        m_entries.append(entry);
        entry->setVisible(visible);
    };
    const QList<TunnelGroup> groups = orderedGroups(m_state);
    for (const TunnelGroup &group : groups) {
        const bool folded = m_collapsed.contains(group.id);
        const QString groupId = group.id;
        auto header = new GroupHeader(
            m_state, group, folded, [this, groupId] { toggleCollapse(groupId); }, m_list);
        m_headers.insert(group.id, header);
        add(header);
        QList<Tunnel> members;
        for (const Tunnel &tunnel : shown) {
            if (tunnel.groupId == group.id)
                members.append(tunnel);
        }
        QList<TunnelRow *> &rows = m_groupRows[group.id];
        for (qsizetype i = 0; i < members.size(); ++i) {
            auto row = new TunnelRow(m_state, m_actions, members.at(i).id, i == members.size() - 1, m_list);
            m_rows.insert(row->tunnelId(), row);
            rows.append(row);
            add(row, !folded);
        }
    }
    const QList<Tunnel> loose = looseTunnels(m_state);
    if (!loose.isEmpty() && !groups.isEmpty()) {
        m_caption = new QWidget(m_list);
        auto line = new QHBoxLayout(m_caption);
        line->setContentsMargins(12, 9, 12, 5);
        line->addWidget(new FWLabel(QStringLiteral("UNGROUPED"), FWTheme::font(11, QFont::Bold, false, 0.4),
                                    FWTheme::Role::Text3, m_caption));
        line->addStretch(1);
        add(m_caption);
    }
    for (qsizetype i = 0; i < loose.size(); ++i) {
        auto row = new TunnelRow(m_state, m_actions, loose.at(i).id, i == loose.size() - 1, m_list);
        m_rows.insert(row->tunnelId(), row);
        add(row);
    }
    updateBodyHeight();
    updateTabOrder();
}

void PopoverView::updateTabOrder()
{
    // Tab walks the list top to bottom (a group's fold, menu and switch; each row's switch, then its actions), then
    // the footer. Rows are made after the footer, so the order is set rather than left to creation.
    QList<QWidget *> chain;
    for (QWidget *entry : std::as_const(m_entries)) {
        if (auto header = qobject_cast<GroupHeader *>(entry))
            chain << header->foldButton() << header->menuButton() << header->groupSwitch();
        else if (auto row = qobject_cast<TunnelRow *>(entry))
            chain << row->toggle();
    }
    chain << m_newTunnel << m_preferences << m_quit;
    for (qsizetype i = 0; i + 1 < chain.size(); ++i)
        setTabOrder(chain.at(i), chain.at(i + 1));
}

void PopoverView::updateBodyHeight()
{
    if (!m_scroll->isVisibleTo(this))
        return;
    m_listLayout->activate();
    const int content = m_list->sizeHint().height();
    m_scroll->setFixedHeight(std::min(content, bodyMaxHeight));
    m_scroll->setVerticalScrollBarPolicy(content > bodyMaxHeight ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void PopoverView::toggleCollapse(const QString &groupId)
{
    const bool folded = !m_collapsed.contains(groupId);
    if (folded)
        m_collapsed.insert(groupId);
    else
        m_collapsed.remove(groupId);
    if (GroupHeader *header = m_headers.value(groupId))
        header->setCollapsed(folded);
    for (TunnelRow *row : m_groupRows.value(groupId))
        row->setVisible(!folded);
    updateBodyHeight();
}

void PopoverView::tunnelChanged(const QString &id)
{
    TunnelRow *row = m_rows.value(id);
    if (!row)
        return;
    if (row->refresh() && row->tunnel().groupId) {
        if (GroupHeader *header = m_headers.value(*row->tunnel().groupId))
            header->refreshSwitch();
    }
}

void PopoverView::openPreferences()
{
    if (m_actions.closePopover)
        m_actions.closePopover();
    if (m_actions.openPreferences)
        m_actions.openPreferences();
}

void PopoverView::syncHover()
{
    applyHover(isVisible() ? std::optional<QPoint>(QCursor::pos()) : std::nullopt);
}

void PopoverView::applyHover(const std::optional<QPoint> &globalPos)
{
    auto under = [&globalPos](const QWidget *widget, const QWidget *clip) {
        if (!globalPos || !widget->isVisible())
            return false;
        if (clip && !clip->rect().contains(clip->mapFromGlobal(*globalPos)))
            return false;
        return widget->rect().contains(widget->mapFromGlobal(*globalPos));
    };
    const QWidget *viewport = m_scroll->viewport();
    for (TunnelRow *row : std::as_const(m_rows))
        row->setHovered(under(row, viewport));
    for (GroupHeader *header : std::as_const(m_headers))
        header->setHovered(under(header, viewport));
    m_newTunnel->setHovered(under(m_newTunnel, nullptr));
    m_preferences->setHovered(under(m_preferences, nullptr));
    m_quit->setHovered(under(m_quit, nullptr));
}

void PopoverView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    syncHover();
}

void PopoverView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    applyHover(std::nullopt);
}

void PopoverView::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), FWTheme::of(this).popBg());
}
