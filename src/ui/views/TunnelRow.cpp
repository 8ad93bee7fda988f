#include "ui/views/TunnelRow.h"

#include "engine/AppState.h"
#include "model/Uptime.h"
#include "ui/brand/Sparkline.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/Icon.h"
#include "ui/controls/StatusDot.h"
#include "ui/controls/TypeChip.h"
#include "ui/controls/WarpToggle.h"
#include "ui/views/MiniRoute.h"
#include "ui/views/PlainIconButton.h"

#include <QApplication>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

// "BACKUP" in amber on an amber capsule.
class BackupBadge : public QWidget {
public:
    explicit BackupBadge(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        setToolTip(QStringLiteral("Connected via the backup host"));
        const QFontMetricsF metrics(font());
        setFixedSize(int(std::ceil(metrics.horizontalAdvance(text()) + 10)), int(std::ceil(metrics.height() + 3)));
    }

    static QString text() { return QStringLiteral("BACKUP"); }
    static QFont font() { return FWTheme::font(8.5, QFont::Bold, false, 0.4); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const FWTheme theme = FWTheme::of(this);
        QColor fill = theme.stAmber;
        fill.setAlphaF(0.18);
        QPainterPath capsule;
        const QRectF frame = rect();
        capsule.addRoundedRect(frame, frame.height() / 2, frame.height() / 2);
        painter.fillPath(capsule, fill);
        painter.setFont(font());
        painter.setPen(theme.stAmber);
        painter.drawText(frame, Qt::AlignCenter, text());
    }
};

// The uptime under the sparkline. It changes every second on every connected row, so it keeps one width (room
// for "999h 59m") and only repaints: no relayout of the row, once a second, for each tunnel.
class UptimeLabel : public QWidget {
public:
    explicit UptimeLabel(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        const QFontMetricsF metrics(font());
        setFixedSize(int(std::ceil(metrics.horizontalAdvance(QStringLiteral("999h 59m")))),
                     int(std::ceil(metrics.height())));
    }

    static QFont font() { return FWTheme::font(10, QFont::Normal, true); }
    QString text() const { return m_text; }
    void setText(const QString &text)
    {
        if (text == m_text)
            return;
        m_text = text;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(FWTheme::of(this).text3());
        painter.drawText(QRectF(rect()), Qt::AlignRight | Qt::AlignVCenter, m_text);
    }

private:
    QString m_text;
};

QIcon menuIcon(const QWidget *menu, const QString &symbol, const QColor &color = {})
{
    return Icon::symbolIcon(symbol, color.isValid() ? color : menu->palette().color(QPalette::WindowText));
}

} // namespace

TunnelRow::TunnelRow(AppState &state, const ViewActions &actions, const QString &id, bool isLast, QWidget *parent)
    : QWidget(parent), m_state(state), m_actions(actions), m_isLast(isLast),
      m_hoverAnim(new Animator(FWTheme::easeInOut(120), this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    if (const Tunnel *found = state.tunnel(id))
        m_tunnel = *found;
    m_tunnel.id = id;

    auto line = new QHBoxLayout(this);
    // The dot's frame is 15 wide (halo included) but takes 11 in the line, so it reaches 2 into the padding and
    // into the gap after it.
    line->setContentsMargins(10, 9, 12, 9 + (isLast ? 0 : 1));
    line->setSpacing(0);
    m_dot = new StatusDot(m_tunnel.status, 9, this);
    line->addWidget(m_dot, 0, Qt::AlignVCenter);
    line->addSpacing(9);

    auto column = new QVBoxLayout;
    column->setSpacing(2);
    auto first = new QHBoxLayout;
    first->setSpacing(7);
    m_name = new FWLabel(m_tunnel.name, FWTheme::font(13.5, QFont::DemiBold), FWTheme::Role::Text, this);
    m_name->setMinimumWidth(1);
    first->addWidget(m_name, 0, Qt::AlignVCenter);
    m_firstLine = first;
    m_chip = new TypeChip(m_tunnel.type, this);
    first->addWidget(m_chip, 0, Qt::AlignVCenter);
    first->addStretch(1);
    column->addLayout(first);
    m_column = column;
    m_route = new MiniRoute(m_tunnel, this);
    column->addWidget(m_route);
    line->addLayout(column, 1);

    // The trailing block carries its own leading gap; it always keeps the room of the hover actions, so the name and
    // the route are cut no further when they appear. Its content sits at the switch.
    m_trailingBox = new QWidget(this);
    auto trailing = new QHBoxLayout(m_trailingBox);
    trailing->setContentsMargins(11, 0, 0, 0);
    trailing->setSpacing(0);
    trailing->addStretch(1);
    line->addWidget(m_trailingBox, 0, Qt::AlignVCenter);
    line->addSpacing(11);

    m_toggle = new WarpToggle(isOn(m_tunnel.status), m_tunnel.status, false, this);
    m_toggle->installEventFilter(this);
    connect(m_toggle, &WarpToggle::changed, this, [this] { m_state.toggle(m_tunnel.id); });
    line->addWidget(m_toggle, 0, Qt::AlignVCenter);

    refresh();
}

bool TunnelRow::eventFilter(QObject *watched, QEvent *event)
{
    // Looked at once the focus has settled: focus moves in the middle of closing or tearing down a window too, and
    // the row must not rebuild its trailing block then.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        QMetaObject::invokeMethod(this, &TunnelRow::syncFocus, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

void TunnelRow::syncFocus()
{
    const QWidget *focus = QApplication::focusWidget();
    const bool within = focus && isAncestorOf(focus);
    if (within == m_focusWithin)
        return;
    m_focusWithin = within;
    updateTrailing();
}

int TunnelRow::actionsWidth() const
{
    return 11 + 24 + (canOpenInBrowser() ? 2 + 24 : 0);
}

void TunnelRow::updateAccessibleNames()
{
    // Rows refresh every second while connected; names change only with the tunnel's name or on/off state.
    const QString name = m_tunnel.name;
    const QString hint =
        isOn(m_tunnel.status) ? QStringLiteral("Switch the tunnel off") : QStringLiteral("Switch the tunnel on");
    if (m_toggle->accessibleName() == name && m_toggle->accessibleDescription() == hint &&
        (!m_menuButton || !m_menuButton->accessibleName().isEmpty()))
        return;
    setAccessibleName(name);
    m_toggle->setAccessibleName(name);
    m_toggle->setAccessibleDescription(hint);
    if (m_menuButton)
        m_menuButton->setAccessibleName(QStringLiteral("Actions for %1").arg(name));
    if (m_openButton)
        m_openButton->setAccessibleName(m_openButton->toolTip());
}

bool TunnelRow::refresh()
{
    const Tunnel *found = m_state.tunnel(m_tunnel.id);
    if (!found)
        return false;
    const TunnelStatus before = m_tunnel.status;
    const TunnelType typeBefore = m_tunnel.type;
    m_tunnel = *found;
    const TunnelStatus status = m_tunnel.status;

    m_dot->setStatus(status);
    m_dot->setWarp(m_state.flash().contains(m_tunnel.id));
    m_name->setText(m_tunnel.name);
    const bool badge = showsBackupBadge(m_tunnel);
    // The badge and the failure line are made when first needed: most rows never show them.
    if (badge && !m_badge) {
        m_badge = new BackupBadge(this);
        m_firstLine->insertWidget(1, m_badge, 0, Qt::AlignVCenter);
        m_badge->hide();
    }
    if (m_badge && badge != m_badge->isVisibleTo(this))
        m_badge->setVisible(badge);
    if (m_tunnel.type != typeBefore)
        m_chip->setType(m_tunnel.type);

    const bool failed = status == TunnelStatus::Failed;
    if (failed && !m_failed) {
        m_failed = new FWLabel({}, FWTheme::font(11, QFont::Normal, true), FWTheme::Role::StRed, this);
        m_failed->setMinimumWidth(1);
        m_column->insertWidget(1, m_failed);
        m_failed->hide();
    }
    if (failed)
        m_failed->setText(failureText());
    else
        m_route->setTunnel(m_tunnel);
    if (m_failed && failed != m_failed->isVisibleTo(this)) {
        m_failed->setVisible(failed);
        m_route->setVisible(!failed);
    }

    updateTrailing();

    m_toggle->setOn(isOn(status));
    if (m_toggle->status() != status)
        m_toggle->setStatus(status);
    updateAccessibleNames();
    return status != before;
}

bool TunnelRow::showsBackupBadge(const Tunnel &tunnel)
{
    return !tunnel.backupHost.trimmed().isEmpty() && tunnel.activeHostIndex == 1 && isOn(tunnel.status);
}

bool TunnelRow::backupBadgeVisible() const
{
    return m_badge && m_badge->isVisibleTo(this);
}

bool TunnelRow::canOpenInBrowser() const
{
    return m_tunnel.status == TunnelStatus::Connected && m_tunnel.browserURL().has_value();
}

QString TunnelRow::failureText() const
{
    if (m_tunnel.status != TunnelStatus::Failed)
        return {};
    return m_tunnel.reason.value_or(QStringLiteral("Failed"));
}

bool TunnelRow::routeVisible() const
{
    return m_route->isVisibleTo(this);
}

void TunnelRow::setHovered(bool hover)
{
    if (hover == m_hover)
        return;
    m_hover = hover;
    m_hoverAnim->animateTo(hover ? 1 : 0);
    updateTrailing();
}

void TunnelRow::enterEvent(QEnterEvent *event)
{
    setHovered(true);
    QWidget::enterEvent(event);
}

void TunnelRow::leaveEvent(QEvent *event)
{
    setHovered(false);
    QWidget::leaveEvent(event);
}

void TunnelRow::ensureHoverActions()
{
    if (m_hoverActions)
        return;
    m_hoverActions = new QWidget(m_trailingBox);
    auto box = new QHBoxLayout(m_hoverActions);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(2);
    m_openButton =
        new PlainIconButton(QStringLiteral("globe"), 15, QFont::Normal, FWTheme::Role::Text2, {24, 24}, m_hoverActions);
    connect(m_openButton, &QAbstractButton::clicked, this, &TunnelRow::openInBrowser);
    box->addWidget(m_openButton);
    m_menuButton = new PlainIconButton(QStringLiteral("ellipsis"), 16, QFont::Normal, FWTheme::Role::Text, {24, 24},
                                       m_hoverActions);
    connect(m_menuButton, &QAbstractButton::clicked, this,
            [this] { popUpMenu(m_menuButton->mapToGlobal(QPoint(0, m_menuButton->height()))); });
    box->addWidget(m_menuButton);
    m_trailingBox->layout()->addWidget(m_hoverActions);
    // Tab goes from the switch to the row's actions, then on to the next row.
    for (QWidget *button : {static_cast<QWidget *>(m_openButton), static_cast<QWidget *>(m_menuButton)})
        button->installEventFilter(this);
    setTabOrder(m_toggle, m_openButton);
    setTabOrder(m_openButton, m_menuButton);
    updateAccessibleNames();
}

void TunnelRow::ensureUptime()
{
    if (m_uptimeBox)
        return;
    m_uptimeBox = new QWidget(m_trailingBox);
    auto column = new QVBoxLayout(m_uptimeBox);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    m_sparkline = new Sparkline(56, 18, FWTheme().stGreen, m_uptimeBox);
    column->addWidget(m_sparkline, 0, Qt::AlignRight);
    m_uptime = new UptimeLabel(m_uptimeBox);
    column->addWidget(m_uptime, 0, Qt::AlignRight);
    m_trailingBox->layout()->addWidget(m_uptimeBox);
}

void TunnelRow::updateTrailing()
{
    Trailing mode = Trailing::None;
    if (m_hover || m_focusWithin)
        mode = Trailing::HoverActions;
    else if (m_tunnel.status == TunnelStatus::Connected)
        mode = Trailing::Uptime;
    else if (m_tunnel.status == TunnelStatus::Connecting)
        mode = Trailing::Connecting;

    if (m_trailingBox->minimumWidth() != actionsWidth())
        m_trailingBox->setMinimumWidth(actionsWidth());
    if (mode == Trailing::HoverActions) {
        ensureHoverActions();
        const bool open = canOpenInBrowser();
        if (open) {
            m_openButton->setToolTip(QStringLiteral("Open ") + m_tunnel.browserURL()->toString());
            m_openButton->setAccessibleName(m_openButton->toolTip());
        }
        if (open != m_openButton->isVisibleTo(m_hoverActions))
            m_openButton->setVisible(open);
    } else if (mode == Trailing::Uptime) {
        ensureUptime();
        const bool spark = m_tunnel.latencyMs.size() >= 2;
        if (spark) {
            if (m_sparkline->samples() != m_tunnel.latencyMs) {
                m_sparkline->setSamples(m_tunnel.latencyMs);
                m_sparkline->setToolTip(
                    QStringLiteral("Server round trip %1ms").arg(qRound64(m_tunnel.latencyMs.constLast())));
            }
        }
        if (spark != m_sparkline->isVisibleTo(m_uptimeBox))
            m_sparkline->setVisible(spark);
        static_cast<UptimeLabel *>(m_uptime)->setText(fmtUptime(m_tunnel.uptimeSec));
    } else if (mode == Trailing::Connecting && !m_connecting) {
        m_connecting = new FWLabel(QStringLiteral("Connecting…"), FWTheme::font(11, QFont::Medium),
                                   FWTheme::Role::StAmber, m_trailingBox);
        m_trailingBox->layout()->addWidget(m_connecting);
    }

    if (mode == m_trailing)
        return;
    m_trailing = mode;
    if (m_hoverActions)
        m_hoverActions->setVisible(mode == Trailing::HoverActions);
    if (m_uptimeBox)
        m_uptimeBox->setVisible(mode == Trailing::Uptime);
    if (m_connecting)
        m_connecting->setVisible(mode == Trailing::Connecting);
}

void TunnelRow::refreshUptime()
{
    const Tunnel *found = m_state.tunnel(m_tunnel.id);
    if (!found)
        return;
    m_tunnel.uptimeSec = found->uptimeSec;
    if (m_trailing == Trailing::Uptime)
        static_cast<UptimeLabel *>(m_uptime)->setText(fmtUptime(m_tunnel.uptimeSec));
}

bool TunnelRow::sparklineVisible() const
{
    return m_trailing == Trailing::Uptime && m_sparkline && m_sparkline->isVisibleTo(m_uptimeBox);
}

QString TunnelRow::sparklineToolTip() const
{
    return sparklineVisible() ? m_sparkline->toolTip() : QString();
}

QString TunnelRow::uptimeText() const
{
    return m_trailing == Trailing::Uptime ? static_cast<UptimeLabel *>(m_uptime)->text() : QString();
}

bool TunnelRow::openButtonVisible() const
{
    return m_trailing == Trailing::HoverActions && m_openButton->isVisibleTo(m_hoverActions);
}

QString TunnelRow::openButtonToolTip() const
{
    return m_openButton ? m_openButton->toolTip() : QString();
}

void TunnelRow::openInBrowser()
{
    if (!canOpenInBrowser())
        return;
    const QUrl url = *m_tunnel.browserURL();
    if (m_actions.closePopover)
        m_actions.closePopover();
    if (m_actions.openUrl)
        m_actions.openUrl(url);
    else
        QDesktopServices::openUrl(url);
}

QMenu *TunnelRow::createMenu(QWidget *parent)
{
    auto menu = new QMenu(parent);
    // Take the window's palette so the menu matches the theme in force.
    menu->setAttribute(Qt::WA_WindowPropagation);
    const QString id = m_tunnel.id;
    AppState *state = &m_state;
    const ViewActions *actions = &m_actions;
    if (canOpenInBrowser()) {
        const QUrl url = *m_tunnel.browserURL();
        menu->addAction(menuIcon(menu, QStringLiteral("globe")), QStringLiteral("Open in Browser"), menu,
                        [actions, url] {
                            if (actions->closePopover)
                                actions->closePopover();
                            if (actions->openUrl)
                                actions->openUrl(url);
                            else
                                QDesktopServices::openUrl(url);
                        });
        menu->addSeparator();
    }
    menu->addAction(menuIcon(menu, QStringLiteral("pencil")), QStringLiteral("Edit…"), menu, [actions, id] {
        if (actions->editTunnel)
            actions->editTunnel(id);
    });
    menu->addAction(menuIcon(menu, QStringLiteral("square.on.square")), QStringLiteral("Duplicate"), menu,
                    [state, id] { state->duplicate(id); });
    menu->addAction(menuIcon(menu, QStringLiteral("list.bullet")), QStringLiteral("View Log"), menu, [actions, id] {
        if (actions->viewLog)
            actions->viewLog(id);
    });
    menu->addSeparator();
    QAction *remove = menu->addAction(menuIcon(menu, QStringLiteral("trash"), FWTheme::of(this).stRed),
                                      QStringLiteral("Delete"), menu, [state, id] { state->deleteTunnel(id); });
    remove->setProperty("destructive", true);
    return menu;
}

void TunnelRow::popUpMenu(const QPoint &globalPos)
{
    QMenu *menu = createMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // popup, not exec: an item may remove this row, which must not happen under a nested event loop of its own.
    menu->popup(globalPos);
}

void TunnelRow::contextMenuEvent(QContextMenuEvent *event)
{
    popUpMenu(event->globalPos());
}

void TunnelRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    const QRectF body = QRectF(rect()).adjusted(0, 0, 0, m_isLast ? 0 : -1);
    if (const qreal t = m_hoverAnim->value(); t > 0) {
        QColor fill = theme.tint(0.06, 0.045);
        fill.setAlphaF(fill.alphaF() * t);
        QPainterPath shape;
        shape.addRoundedRect(body, 8, 8);
        painter.fillPath(shape, fill);
    }
    if (!m_isLast)
        painter.fillRect(QRectF(0, height() - 1, width(), 1), theme.hairline(0.085));
}
