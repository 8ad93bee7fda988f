#include "engine/EngineHarness.h"
#include "model/Uptime.h"
#include "support/Shots.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/StatusDot.h"
#include "ui/controls/WarpToggle.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/EmptyState.h"
#include "ui/views/FooterIconButton.h"
#include "ui/views/GroupHeader.h"
#include "ui/views/MiniRoute.h"
#include "ui/views/NewTunnelButton.h"
#include "ui/views/PlainIconButton.h"
#include "ui/views/PopoverView.h"
#include "ui/views/RenameGroupDialog.h"
#include "ui/views/TunnelRow.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QTest>

namespace {

using S = TunnelStatus;

Tunnel shown(const QString &id, const std::optional<QString> &group = std::nullopt, bool inMenu = true)
{
    Tunnel t = makeTunnel(id);
    t.groupId = group;
    t.showInMenu = inMenu;
    return t;
}

TunnelGroup group(const QString &id, const QString &name, qint64 order)
{
    return TunnelGroup{id, name, order};
}

// Records what the popover asks of the shell, in order.
struct Calls {
    QStringList log;
    QList<QUrl> urls;
    ViewActions actions()
    {
        ViewActions a;
        a.newTunnel = [this] { log.append(QStringLiteral("newTunnel")); };
        a.openPreferences = [this] { log.append(QStringLiteral("openPreferences")); };
        a.quit = [this] { log.append(QStringLiteral("quit")); };
        a.editTunnel = [this](const QString &id) { log.append(QStringLiteral("edit ") + id); };
        a.viewLog = [this](const QString &id) { log.append(QStringLiteral("viewLog ") + id); };
        a.closePopover = [this] { log.append(QStringLiteral("closePopover")); };
        a.openUrl = [this](const QUrl &url) {
            log.append(QStringLiteral("openUrl"));
            urls.append(url);
        };
        return a;
    }
};

QStringList menuTexts(QMenu *menu)
{
    QStringList texts;
    for (QAction *action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QAction *menuAction(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

void hover(QWidget *widget, bool inside)
{
    if (inside) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(widget, &leave);
    }
}

// Pictures on a neutral desktop grey, since the popover's own background is translucent.
void shoot(QWidget *widget, const QString &name)
{
    widget->adjustSize();
    QApplication::processEvents();
    QImage image(widget->size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(QColor(128, 128, 132));
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    Shots::saveImage(image, name);
}

} // namespace

class TestPopover : public QObject {
    Q_OBJECT
private slots:
    void countAndEmptyState();
    void listByGroup();
    void rowLines();
    void liveUpdatesRedrawRowsOnly();
    void groupSwitch();
    void menusAndActions();
    void renameThroughDialog();
    void footerAndScrolling();
    void pictures();
};

void TestPopover::countAndEmptyState()
{
    Calls calls;
    {
        EngineHarness h({});
        PopoverView view(*h.state, calls.actions());
        view.show();
        QVERIFY(view.showsEmptyState());
        QCOMPARE(view.headerCountText(), QString());
        QTest::mouseClick(view.emptyState()->newTunnelButton(), Qt::LeftButton);
        QCOMPARE(calls.log, QStringList{QStringLiteral("newTunnel")});
    }
    {
        // Tunnels exist but none is shown in the menu: still the empty state.
        EngineHarness h({shown(QStringLiteral("a"), std::nullopt, false)});
        PopoverView view(*h.state, calls.actions());
        QVERIFY(view.showsEmptyState());
        QCOMPARE(view.headerCountText(), QString());
    }
    {
        EngineHarness h({shown(QStringLiteral("a")), shown(QStringLiteral("b"), std::nullopt, false)});
        PopoverView view(*h.state, calls.actions());
        QVERIFY(!view.showsEmptyState());
        QCOMPARE(view.headerCountText(), QStringLiteral("1 tunnel"));
        h.state->duplicate(QStringLiteral("a"));
        QCOMPARE(view.headerCountText(), QStringLiteral("2 tunnels"));
        const QString copy = h.state->tunnels().at(1).id;
        h.state->deleteTunnel(QStringLiteral("a"));
        h.state->deleteTunnel(copy);
        QVERIFY(view.showsEmptyState());
        QCOMPARE(view.headerCountText(), QString());
    }
}

void TestPopover::listByGroup()
{
    // g1 sorts last; g2 and g3 share an order and keep their list order; g4's tunnels are all hidden; "x" names a
    // group that does not exist.
    const QList<TunnelGroup> groups{group(QStringLiteral("g1"), QStringLiteral("Prod"), 5),
                                    group(QStringLiteral("g2"), QStringLiteral("Dev"), 1),
                                    group(QStringLiteral("g3"), QStringLiteral("Lab"), 1),
                                    group(QStringLiteral("g4"), QStringLiteral("Hidden"), 0)};
    EngineHarness h(
        {shown(QStringLiteral("loose1")), shown(QStringLiteral("p1"), QStringLiteral("g1")),
         shown(QStringLiteral("d1"), QStringLiteral("g2")), shown(QStringLiteral("x1"), QStringLiteral("x")),
         shown(QStringLiteral("l1"), QStringLiteral("g3")), shown(QStringLiteral("d2"), QStringLiteral("g2")),
         shown(QStringLiteral("h1"), QStringLiteral("g4"), false),
         shown(QStringLiteral("p2"), QStringLiteral("g1"), false)},
        groups);
    Calls calls;
    PopoverView view(*h.state, calls.actions());
    const QStringList expected{QStringLiteral("group:g2"), QStringLiteral("row:d1"),  QStringLiteral("row:d2"),
                               QStringLiteral("group:g3"), QStringLiteral("row:l1"),  QStringLiteral("group:g1"),
                               QStringLiteral("row:p1"),   QStringLiteral("caption"), QStringLiteral("row:loose1"),
                               QStringLiteral("row:x1")};
    QCOMPARE(view.listEntries(), expected);
    QCOMPARE(view.headerCountText(), QStringLiteral("6 tunnels"));
    QVERIFY(!view.header(QStringLiteral("g4")));
    QCOMPARE(view.header(QStringLiteral("g1"))->count(), 1);
    QCOMPARE(view.header(QStringLiteral("g2"))->count(), 2);
    QCOMPARE(view.header(QStringLiteral("g2"))->displayedName(), QStringLiteral("DEV"));

    // Separators: none under the last row of each block.
    for (const QString &id : {QStringLiteral("d2"), QStringLiteral("l1"), QStringLiteral("p1"), QStringLiteral("x1")})
        QVERIFY2(view.row(id)->isLast(), qPrintable(id));
    for (const QString &id : {QStringLiteral("d1"), QStringLiteral("loose1")})
        QVERIFY2(!view.row(id)->isLast(), qPrintable(id));

    // Folding hides the rows, keeps the header, and survives a rebuild of the list.
    view.toggleCollapse(QStringLiteral("g2"));
    QVERIFY(!view.listEntries().contains(QStringLiteral("row:d1")));
    QVERIFY(view.listEntries().contains(QStringLiteral("group:g2")));
    h.state->duplicate(QStringLiteral("l1"));
    QVERIFY(!view.listEntries().contains(QStringLiteral("row:d2")));
    QVERIFY(view.header(QStringLiteral("g2"))->isCollapsed());
    QCOMPARE(view.header(QStringLiteral("g2"))->foldButton()->iconName(), QStringLiteral("chevR"));
    QTest::mouseClick(view.header(QStringLiteral("g2"))->foldButton(), Qt::LeftButton);
    QVERIFY(view.listEntries().contains(QStringLiteral("row:d2")));
    QCOMPARE(view.header(QStringLiteral("g2"))->foldButton()->iconName(), QStringLiteral("chevD"));

    // Deleting every shown group leaves only loose tunnels: no caption any more.
    for (const QString &id : {QStringLiteral("g1"), QStringLiteral("g2"), QStringLiteral("g3"), QStringLiteral("g4")})
        h.state->deleteGroup(id);
    QVERIFY(!view.showsUngroupedCaption());
    QVERIFY(!view.listEntries().contains(QStringLiteral("caption")));
    QCOMPARE(view.listEntries().first(), QStringLiteral("row:loose1"));
}

void TestPopover::rowLines()
{
    Tunnel socks = makeTunnel(QStringLiteral("s"), TunnelType::Socks);
    socks.bindPort = QStringLiteral("1080");
    Tunnel backup = makeTunnel(QStringLiteral("b"), TunnelType::Local, QStringLiteral("backup.test"));
    EngineHarness h({makeTunnel(QStringLiteral("a")), socks, backup, makeTunnel(QStringLiteral("f"))});
    Calls calls;
    PopoverView view(*h.state, calls.actions());
    const QString a = QStringLiteral("a");
    TunnelRow *row = view.row(a);

    // Idle: the route and nothing trailing.
    QCOMPARE(row->trailing(), TunnelRow::Trailing::None);
    QCOMPARE(row->route()->fromText(), QStringLiteral("127.0.0.1:9000"));
    QCOMPARE(row->route()->toText(), QStringLiteral("db.internal:5432"));
    QCOMPARE(view.row(QStringLiteral("s"))->route()->toText(), QStringLiteral("SOCKS"));
    QVERIFY(view.row(QStringLiteral("s"))->route()->toIsAccent());
    QVERIFY(!row->toggle()->isOn());

    h.state->start(a);
    QCOMPARE(row->trailing(), TunnelRow::Trailing::Connecting);
    QVERIFY(row->toggle()->isOn());
    QCOMPARE(row->toggle()->status(), S::Connecting);

    // Connected with one sample: uptime, no sparkline; with two: sparkline and its tooltip.
    h.runner.report(a, S::Connected);
    h.state->recordLatency(a, 30.2);
    QCOMPARE(row->trailing(), TunnelRow::Trailing::Uptime);
    QVERIFY(!row->sparklineVisible());
    QCOMPARE(row->uptimeText(), fmtUptime(h.t(a).uptimeSec));
    h.state->recordLatency(a, 41.6);
    QVERIFY(row->sparklineVisible());
    QCOMPARE(row->sparklineToolTip(), QStringLiteral("Latency 42ms"));

    // Hover swaps uptime for the actions; the open button only for an address to open.
    hover(row, true);
    QCOMPARE(row->trailing(), TunnelRow::Trailing::HoverActions);
    QVERIFY(row->openButtonVisible());
    QCOMPARE(row->openButtonToolTip(), QStringLiteral("Open http://127.0.0.1:9000"));
    hover(row, false);
    QCOMPARE(row->trailing(), TunnelRow::Trailing::Uptime);
    QVERIFY(row->sparklineVisible());
    const QString s = QStringLiteral("s");
    h.state->start(s);
    h.runner.report(s, S::Connected);
    hover(view.row(s), true);
    QCOMPARE(view.row(s)->trailing(), TunnelRow::Trailing::HoverActions);
    QVERIFY(!view.row(s)->openButtonVisible());

    // Failed: the reason, or "Failed" without one, in place of the route; nothing trailing until hovered.
    const QString f = QStringLiteral("f");
    h.state->start(f);
    h.runner.report(f, S::Failed);
    TunnelRow *failed = view.row(f);
    QCOMPARE(failed->failureText(), QStringLiteral("Failed"));
    QVERIFY(!failed->routeVisible());
    QCOMPARE(failed->trailing(), TunnelRow::Trailing::None);
    h.state->start(f);
    h.runner.exitWith(f, QStringLiteral("Connection refused"));
    QCOMPARE(failed->failureText(), QStringLiteral("Connection refused"));
    QVERIFY(!failed->toggle()->isOn());
    h.state->start(f);
    QVERIFY(failed->routeVisible());

    // The backup badge: on the backup host and on; not on the primary, not once stopped.
    const QString b = QStringLiteral("b");
    h.state->start(b);
    QVERIFY(!view.row(b)->backupBadgeVisible());
    h.runner.exitWith(b, QStringLiteral("Connection refused"));
    QCOMPARE(h.t(b).activeHostIndex, 1);
    QVERIFY(view.row(b)->backupBadgeVisible());
    h.clock.advance(AppState::failoverDelayMs);
    h.runner.report(b, S::Connected);
    QVERIFY(view.row(b)->backupBadgeVisible());
    h.state->stop(b);
    QVERIFY(!view.row(b)->backupBadgeVisible());

    // The switch calls toggle.
    QTest::mouseClick(row->toggle(), Qt::LeftButton);
    QCOMPARE(h.t(a).status, S::Idle);
    QTest::mouseClick(row->toggle(), Qt::LeftButton);
    QCOMPARE(h.t(a).status, S::Connecting);
}

void TestPopover::liveUpdatesRedrawRowsOnly()
{
    EngineHarness h({makeTunnel(QStringLiteral("a")), makeTunnel(QStringLiteral("b"))});
    Calls calls;
    PopoverView view(*h.state, calls.actions());
    const int builds = view.rebuildCount();
    TunnelRow *row = view.row(QStringLiteral("a"));
    h.state->start(QStringLiteral("a"));
    h.runner.report(QStringLiteral("a"), S::Connected);
    QVERIFY(row->statusDot()->warp());
    h.clock.advance(AppState::flashMs);
    QVERIFY(!row->statusDot()->warp());
    const qint64 before = h.t(QStringLiteral("a")).uptimeSec;
    h.clock.advance(5000);
    QCOMPARE(row->uptimeText(), fmtUptime(before + 5));
    h.state->recordLatency(QStringLiteral("a"), 12);
    QCOMPARE(view.rebuildCount(), builds);
    QCOMPARE(view.row(QStringLiteral("a")), row);
    QCOMPARE(view.row(QStringLiteral("b"))->trailing(), TunnelRow::Trailing::None);
}

void TestPopover::groupSwitch()
{
    const QString g = QStringLiteral("g");
    EngineHarness h({shown(QStringLiteral("a"), g), shown(QStringLiteral("b"), g), shown(QStringLiteral("c"), g)},
                    {group(g, QStringLiteral("Work"), 0)});
    Calls calls;
    PopoverView view(*h.state, calls.actions());
    GroupHeader *header = view.header(g);
    WarpToggle *toggle = header->groupSwitch();
    QVERIFY(toggle->isSmall());
    QVERIFY(!toggle->isOn());
    QCOMPARE(toggle->status(), S::Idle);
    h.state->start(QStringLiteral("a"));
    h.state->start(QStringLiteral("b"));
    QVERIFY(toggle->isOn());
    QCOMPARE(toggle->status(), S::Connecting); // amber: some on
    h.state->start(QStringLiteral("c"));
    QCOMPARE(toggle->status(), S::Connected); // green: all on
    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(h.state->groupState(g), GroupToggleState::None);
    QVERIFY(!toggle->isOn());
    QCOMPARE(toggle->status(), S::Idle);
    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(h.state->groupState(g), GroupToggleState::All);
}

void TestPopover::menusAndActions()
{
    const QString g = QStringLiteral("g");
    EngineHarness h({shown(QStringLiteral("a"), g), shown(QStringLiteral("b"), g)},
                    {group(g, QStringLiteral("Work"), 0)});
    Calls calls;
    PopoverView view(*h.state, calls.actions());

    // The group menu names the fold action after the state.
    GroupHeader *header = view.header(g);
    std::unique_ptr<QMenu> menu(header->createMenu(nullptr));
    QCOMPARE(menuTexts(menu.get()), (QStringList{QStringLiteral("Collapse"), QStringLiteral("Rename…"),
                                                 QStringLiteral("-"), QStringLiteral("Delete Group")}));
    QVERIFY(menuAction(menu.get(), QStringLiteral("Delete Group"))->property("destructive").toBool());
    menuAction(menu.get(), QStringLiteral("Collapse"))->trigger();
    QVERIFY(view.collapsed().contains(g));
    menu.reset(header->createMenu(nullptr));
    QCOMPARE(menuTexts(menu.get()).first(), QStringLiteral("Expand"));
    menuAction(menu.get(), QStringLiteral("Expand"))->trigger();
    QVERIFY(!view.collapsed().contains(g));
    QVERIFY(view.listEntries().contains(QStringLiteral("row:a")));
    // The menu button is see-through until the header is hovered.
    QCOMPARE(header->menuButton()->contentOpacity(), 0.0);
    hover(header, true);
    QCOMPARE(header->menuButton()->contentOpacity(), 1.0);

    // Row menu: without a browser address to open...
    TunnelRow *row = view.row(QStringLiteral("a"));
    menu.reset(row->createMenu(nullptr));
    const QStringList plain{QStringLiteral("Edit…"), QStringLiteral("Duplicate"), QStringLiteral("View Log"),
                            QStringLiteral("-"), QStringLiteral("Delete")};
    QCOMPARE(menuTexts(menu.get()), plain);
    menuAction(menu.get(), QStringLiteral("Edit…"))->trigger();
    menuAction(menu.get(), QStringLiteral("View Log"))->trigger();
    QCOMPARE(calls.log, (QStringList{QStringLiteral("edit a"), QStringLiteral("viewLog a")}));

    // ...and with one, which closes the popover before opening it.
    h.state->start(QStringLiteral("a"));
    h.runner.report(QStringLiteral("a"), S::Connected);
    menu.reset(row->createMenu(nullptr));
    QCOMPARE(menuTexts(menu.get()),
             QStringList{QStringLiteral("Open in Browser")} + QStringList{QStringLiteral("-")} + plain);
    calls.log.clear();
    menuAction(menu.get(), QStringLiteral("Open in Browser"))->trigger();
    QCOMPARE(calls.log, (QStringList{QStringLiteral("closePopover"), QStringLiteral("openUrl")}));
    QCOMPARE(calls.urls, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:9000"))});

    // Duplicate and Delete change the list; the row that was asked lives until the event loop retires it.
    menuAction(menu.get(), QStringLiteral("Duplicate"))->trigger();
    QCOMPARE(h.state->tunnels().size(), 3);
    QCOMPARE(view.header(g)->count(), 3);
    menu.reset(view.row(QStringLiteral("b"))->createMenu(nullptr));
    menuAction(menu.get(), QStringLiteral("Delete"))->trigger();
    QVERIFY(!h.state->tunnel(QStringLiteral("b")));
    QVERIFY(!view.row(QStringLiteral("b")));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Deleting the group keeps its tunnels, now loose.
    menu.reset(view.header(g)->createMenu(nullptr));
    menuAction(menu.get(), QStringLiteral("Delete Group"))->trigger();
    QVERIFY(h.state->groups().isEmpty());
    QCOMPARE(view.listEntries().size(), 2);
    QVERIFY(!view.showsUngroupedCaption());
}

void TestPopover::renameThroughDialog()
{
    const QString g = QStringLiteral("g");
    EngineHarness h({shown(QStringLiteral("a"), g)}, {group(g, QStringLiteral("Work"), 0)});
    Calls calls;
    FWRoot root(new PopoverView(*h.state, calls.actions()), Appearance::Light);
    root.show();
    auto view = static_cast<PopoverView *>(root.content());

    GroupHeader *header = view->header(g);
    std::unique_ptr<QMenu> menu(header->createMenu(nullptr));
    menuAction(menu.get(), QStringLiteral("Rename…"))->trigger();
    QVERIFY(header->isRenaming());
    RenameGroupDialog *dialog = header->renameDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Rename Group"));
    QCOMPARE(dialog->field()->placeholderText(), QStringLiteral("Name"));
    QCOMPARE(dialog->field()->text(), QStringLiteral("Work"));
    Shots::save(dialog, QStringLiteral("rename-group-light"));

    // Cancel changes nothing.
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    QVERIFY(!header->isRenaming());
    QCOMPARE(h.state->groups().first().name, QStringLiteral("Work"));

    // Rename passes the draft on; the engine trims it, and the new header shows it.
    header->beginRename();
    dialog = header->renameDialog();
    dialog->field()->setText(QStringLiteral("  Home lab "));
    QTest::keyClick(dialog->field(), Qt::Key_Return);
    QCOMPARE(h.state->groups().first().name, QStringLiteral("Home lab"));
    QCOMPARE(view->header(g)->displayedName(), QStringLiteral("HOME LAB"));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Hosted as the shell hosts it, in a popup window: a modal alert closes every popup when it opens, and the
    // alert, left on its own, still renames.
    QWidget popup(nullptr, Qt::Popup | Qt::FramelessWindowHint);
    root.setParent(&popup);
    root.move(0, 0);
    root.show();
    popup.resize(root.sizeHint());
    popup.show();
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    view->header(g)->beginRename();
    dialog = view->header(g)->renameDialog();
    QApplication::processEvents();
    QVERIFY(dialog->isVisible());
    dialog->field()->setText(QStringLiteral("Lab"));
    QTest::mouseClick(dialog->renameButton(), Qt::LeftButton);
    QCOMPARE(h.state->groups().first().name, QStringLiteral("Lab"));
    root.setParent(nullptr);
}

void TestPopover::footerAndScrolling()
{
    QList<Tunnel> many;
    for (int i = 0; i < 30; ++i)
        many.append(makeTunnel(QStringLiteral("t%1").arg(i)));
    EngineHarness h(many);
    Calls calls;
    FWRoot root(new PopoverView(*h.state, calls.actions()), Appearance::Dark);
    root.show();
    auto view = static_cast<PopoverView *>(root.content());
    QCOMPARE(view->body()->height(), PopoverView::bodyMaxHeight);
    QCOMPARE(view->width(), PopoverView::panelWidth);
    QVERIFY(view->quitButton()->isVisible());
    QVERIFY(view->height() < PopoverView::bodyMaxHeight + 140);

    QCOMPARE(view->preferencesButton()->toolTip(), QStringLiteral("Preferences"));
    QCOMPARE(view->quitButton()->toolTip(), QStringLiteral("Quit Flumewire"));
    QTest::mouseClick(view->preferencesButton(), Qt::LeftButton);
    QTest::mouseClick(view->newTunnelButton(), Qt::LeftButton);
    QTest::mouseClick(view->quitButton(), Qt::LeftButton);
    QCOMPARE(calls.log, (QStringList{QStringLiteral("closePopover"), QStringLiteral("openPreferences"),
                                     QStringLiteral("newTunnel"), QStringLiteral("quit")}));

    // A short list takes only its own height.
    for (int i = 2; i < 30; ++i)
        h.state->deleteTunnel(QStringLiteral("t%1").arg(i));
    QVERIFY(view->body()->height() < 150);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestPopover::pictures()
{
    for (const bool dark : {false, true}) {
        const QString variant = dark ? QStringLiteral("dark") : QStringLiteral("light");
        {
            EngineHarness h({});
            Calls calls;
            FWRoot root(new PopoverView(*h.state, calls.actions()), dark ? Appearance::Dark : Appearance::Light);
            root.show();
            shoot(&root, QStringLiteral("popover-empty-") + variant);
        }
        Tunnel web = shown(QStringLiteral("web"), QStringLiteral("g1"));
        web.name = QStringLiteral("Staging web");
        web.bindPort = QStringLiteral("8080");
        web.targetHost = QStringLiteral("web.internal");
        web.targetPort = QStringLiteral("80");
        Tunnel db = shown(QStringLiteral("db"), QStringLiteral("g1"));
        db.name = QStringLiteral("Postgres primary");
        db.backupHost = QStringLiteral("backup.test");
        Tunnel redis = shown(QStringLiteral("redis"), QStringLiteral("g1"));
        redis.name = QStringLiteral("Redis cache");
        redis.bindPort = QStringLiteral("6379");
        redis.targetHost = QStringLiteral("cache.internal");
        redis.targetPort = QStringLiteral("6379");
        Tunnel proxy = makeTunnel(QStringLiteral("proxy"), TunnelType::Socks);
        proxy.name = QStringLiteral("Office SOCKS");
        proxy.bindPort = QStringLiteral("1080");
        proxy.groupId = QStringLiteral("g2");
        Tunnel grafana = shown(QStringLiteral("grafana"), QStringLiteral("g2"));
        grafana.name = QStringLiteral("Grafana");
        grafana.bindPort = QStringLiteral("3000");
        grafana.targetHost = QStringLiteral("grafana.lan");
        grafana.targetPort = QStringLiteral("3000");
        Tunnel remote = makeTunnel(QStringLiteral("rev"), TunnelType::Remote);
        remote.name = QStringLiteral("Demo back-channel");
        remote.bindPort = QStringLiteral("8022");
        remote.targetHost = QStringLiteral("localhost");
        remote.targetPort = QStringLiteral("22");
        EngineHarness h({web, db, redis, proxy, grafana, remote},
                        {group(QStringLiteral("g1"), QStringLiteral("Production"), 0),
                         group(QStringLiteral("g2"), QStringLiteral("Office"), 1)});
        h.state->start(QStringLiteral("web"));
        h.runner.report(QStringLiteral("web"), S::Connected);
        for (double ms : {22.0, 25.0, 19.0, 31.0, 28.0, 24.0, 42.0, 35.0})
            h.state->recordLatency(QStringLiteral("web"), ms);
        h.state->start(QStringLiteral("db"));
        h.runner.exitWith(QStringLiteral("db"), QStringLiteral("Connection refused"));
        h.clock.advance(AppState::failoverDelayMs);
        h.runner.report(QStringLiteral("db"), S::Connected);
        h.state->start(QStringLiteral("redis"));
        h.state->start(QStringLiteral("proxy"));
        h.runner.report(QStringLiteral("proxy"), S::Connected);
        h.state->start(QStringLiteral("grafana"));
        h.runner.exitWith(QStringLiteral("grafana"), QStringLiteral("Permission denied"));
        h.clock.advance(3725'000);
        h.state->stop(QStringLiteral("redis"));
        h.state->start(QStringLiteral("redis"));
        Calls calls;
        FWRoot root(new PopoverView(*h.state, calls.actions()), dark ? Appearance::Dark : Appearance::Light);
        root.show();
        auto view = static_cast<PopoverView *>(root.content());
        shoot(&root, QStringLiteral("popover-groups-") + variant);
        TunnelRow *row = view->row(QStringLiteral("web"));
        hover(row, true);
        row->hoverAnimator()->finish();
        shoot(&root, QStringLiteral("popover-row-hovered-") + variant);
    }
}

QTEST_MAIN(TestPopover)
#include "tst_Popover.moc"
