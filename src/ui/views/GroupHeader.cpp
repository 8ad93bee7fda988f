#include "ui/views/GroupHeader.h"

#include "ui/controls/FWLabel.h"
#include "ui/controls/Icon.h"
#include "ui/controls/WarpToggle.h"
#include "ui/views/GroupNameDialog.h"
#include "ui/views/PlainIconButton.h"

#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QMenu>

GroupHeader::GroupHeader(AppState &state, const TunnelGroup &group, bool collapsed,
                         std::function<void()> onToggleCollapse, QWidget *parent)
    : QWidget(parent), m_state(state), m_group(group), m_collapsed(collapsed),
      m_onToggleCollapse(std::move(onToggleCollapse))
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto line = new QHBoxLayout(this);
    line->setContentsMargins(12, 9, 12, 5);
    line->setSpacing(8);
    m_fold = new PlainIconButton(collapsed ? QStringLiteral("chevR") : QStringLiteral("chevD"), 10, QFont::DemiBold,
                                 FWTheme::Role::Text3, {12, 14}, this);
    connect(m_fold, &QAbstractButton::clicked, this, [this] {
        if (m_onToggleCollapse)
            m_onToggleCollapse();
    });
    line->addWidget(m_fold, 0, Qt::AlignVCenter);
    m_name = new FWLabel(group.name.toUpper(), FWTheme::font(11, QFont::Bold, false, 0.4), FWTheme::Role::Text2, this);
    m_name->setMinimumWidth(1);
    line->addWidget(m_name, 0, Qt::AlignVCenter);
    m_countLabel = new FWLabel({}, FWTheme::font(10, QFont::Medium), FWTheme::Role::Text3, this);
    line->addWidget(m_countLabel, 0, Qt::AlignVCenter);
    line->addStretch(1);
    m_menuButton =
        new PlainIconButton(QStringLiteral("ellipsis"), 14, QFont::Normal, FWTheme::Role::Text3, {22, 20}, this);
    m_menuButton->setContentOpacity(0);
    connect(m_menuButton, &QAbstractButton::clicked, this,
            [this] { popUpMenu(m_menuButton->mapToGlobal(QPoint(0, m_menuButton->height()))); });
    line->addWidget(m_menuButton, 0, Qt::AlignVCenter);
    const GroupToggleState initial = state.groupState(group.id);
    m_switch = new WarpToggle(initial != GroupToggleState::None, toggleStatusFor(initial), true, this);
    m_menuButton->setAccessibleName(QStringLiteral("Actions for group %1").arg(group.name));
    m_switch->setAccessibleName(QStringLiteral("All tunnels in %1").arg(group.name));
    connect(m_switch, &WarpToggle::changed, this, [this] { m_state.toggleGroup(m_group.id); });
    line->addWidget(m_switch, 0, Qt::AlignVCenter);
    setAccessibleName(group.name);
    setCollapsed(collapsed);
    refresh();
}

GroupHeader::~GroupHeader() = default;

QString GroupHeader::displayedName() const
{
    return m_name->text();
}

void GroupHeader::setCollapsed(bool collapsed)
{
    m_collapsed = collapsed;
    m_fold->setIconName(collapsed ? QStringLiteral("chevR") : QStringLiteral("chevD"));
    m_fold->setAccessibleName(
        (collapsed ? QStringLiteral("Expand %1") : QStringLiteral("Collapse %1")).arg(m_group.name));
}

TunnelStatus GroupHeader::toggleStatusFor(GroupToggleState state)
{
    switch (state) {
    case GroupToggleState::All:
        return TunnelStatus::Connected;
    case GroupToggleState::Some:
        return TunnelStatus::Connecting;
    case GroupToggleState::None:
        break;
    }
    return TunnelStatus::Idle;
}

void GroupHeader::refresh()
{
    int count = 0;
    for (const Tunnel &tunnel : m_state.tunnels()) {
        if (tunnel.showInMenu && tunnel.groupId == m_group.id)
            ++count;
    }
    m_count = count;
    m_countLabel->setText(QString::number(count));
    refreshSwitch();
}

void GroupHeader::refreshSwitch()
{
    const GroupToggleState state = m_state.groupState(m_group.id);
    m_switch->setOn(state != GroupToggleState::None);
    const TunnelStatus status = toggleStatusFor(state);
    if (m_switch->status() != status)
        m_switch->setStatus(status);
}

void GroupHeader::setHovered(bool hover)
{
    m_hover = hover;
    m_menuButton->setContentOpacity(hover ? 1 : 0);
}

void GroupHeader::enterEvent(QEnterEvent *event)
{
    setHovered(true);
    QWidget::enterEvent(event);
}

void GroupHeader::leaveEvent(QEvent *event)
{
    setHovered(false);
    QWidget::leaveEvent(event);
}

QMenu *GroupHeader::createMenu(QWidget *parent)
{
    auto menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_WindowPropagation);
    const QColor ink = menu->palette().color(QPalette::WindowText);
    if (m_collapsed) {
        menu->addAction(Icon::symbolIcon(QStringLiteral("chevron.down"), ink), QStringLiteral("Expand"), this,
                        [this] { m_onToggleCollapse ? m_onToggleCollapse() : void(); });
    } else {
        menu->addAction(Icon::symbolIcon(QStringLiteral("chevron.right"), ink), QStringLiteral("Collapse"), this,
                        [this] { m_onToggleCollapse ? m_onToggleCollapse() : void(); });
    }
    menu->addAction(Icon::symbolIcon(QStringLiteral("pencil"), ink), QStringLiteral("Rename…"), this,
                    &GroupHeader::beginRename);
    menu->addSeparator();
    AppState *state = &m_state;
    const QString id = m_group.id;
    QAction *remove = menu->addAction(Icon::symbolIcon(QStringLiteral("trash"), FWTheme::of(this).stRed),
                                      QStringLiteral("Delete Group"), menu, [state, id] { state->deleteGroup(id); });
    remove->setProperty("destructive", true);
    return menu;
}

void GroupHeader::popUpMenu(const QPoint &globalPos)
{
    QMenu *menu = createMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void GroupHeader::contextMenuEvent(QContextMenuEvent *event)
{
    popUpMenu(event->globalPos());
}

GroupNameDialog *GroupHeader::renameDialog() const
{
    return m_dialog;
}

void GroupHeader::beginRename()
{
    if (m_dialog)
        return;
    m_draft = m_group.name;
    m_renaming = true;
    m_dialog = new GroupNameDialog(QStringLiteral("Rename Group"), QStringLiteral("Rename"), m_draft, this);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &GroupNameDialog::finished, this, [this](int result) {
        m_renaming = false;
        if (m_dialog)
            m_draft = m_dialog->name();
        // Renaming publishes a new group list, which rebuilds the popover and retires this header (later).
        if (result == QDialog::Accepted)
            m_state.renameGroup(m_group.id, m_draft);
    });
    m_dialog->open();
}
