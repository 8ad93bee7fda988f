#include "model/Uptime.h"
#include "ui/UiDriver.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/FocusRing.h"
#include "ui/views/EmptyState.h"
#include "ui/views/FooterIconButton.h"
#include "ui/views/GroupHeader.h"
#include "ui/views/GroupNameDialog.h"
#include "ui/views/MiniRoute.h"
#include "ui/views/NewTunnelButton.h"
#include "ui/views/PopoverView.h"
#include "ui/views/TunnelRow.h"
#include <QAccessible>
#include <QScrollArea>

using namespace Qt::StringLiterals;

using namespace UiDriver;

namespace {

using S = TunnelStatus;

Tunnel shown(const QString &id, const std::optional<QString> &group = std::nullopt, bool inMenu = true)
{
    Tunnel t = makeTunnel(id);
    t.groupId = group;
    t.showInMenu = inMenu;
    return t;
}

// A popover in its themed window, as the shell shows it, recording what it asks of the shell in order.
struct Popover {
    QStringList calls;
    FWRoot root;
    explicit Popover(AppState &state) : root(new PopoverView(state, actions()), Appearance::Light) { root.show(); }
    PopoverView *operator->() { return static_cast<PopoverView *>(root.content()); }
    ViewActions actions()
    {
        ViewActions a;
        auto note = [this](const QString &what) { return [this, what] { calls << what; }; };
        a.newTunnel = note("newTunnel");
        a.openPreferences = note("openPreferences");
        a.quit = note("quit");
        a.closePopover = note("closePopover");
        a.editTunnel = [this](const QString &id) { calls << "edit " + id; };
        a.viewLog = [this](const QString &id) { calls << "viewLog " + id; };
        a.openUrl = [this](const QUrl &url) { calls << "open " + url.toString(); };
        return a;
    }
};

// The rows showing the hover look, in list order.
QStringList hoveredRows(PopoverView *view)
{
    QStringList ids;
    for (const QString &entry : view->listEntries()) {
        if (entry.startsWith(u"row:"_s) && view->row(entry.mid(4))->isHovered())
            ids << entry.mid(4);
    }
    return ids;
}

} // namespace

class TestPopover : public QObject {
    Q_OBJECT
private slots:
    void rowLines()
    {
        Tunnel socks = makeTunnel("s", TunnelType::Socks);
        socks.bindPort = "1080";
        EngineHarness h({makeTunnel("a"), socks, makeTunnel("b", TunnelType::Local, "backup.test"), makeTunnel("f")});
        Popover view(*h.state);
        TunnelRow *row = view->row("a");
        const int builds = view->rebuildCount();

        // Idle: the route and nothing trailing; a SOCKS route ends in the word.
        QCOMPARE(row->trailing(), TunnelRow::Trailing::None);
        QCOMPARE(row->route()->fromText() + " " + row->route()->toText(), u"127.0.0.1:9000 db.internal:5432"_s);
        QCOMPARE(view->row("s")->route()->toText(), u"SOCKS"_s);
        h.state->start("a");
        QVERIFY(row->trailing() == TunnelRow::Trailing::Connecting && row->toggle()->isOn());

        // Connected: uptime with one sample, the sparkline and its tooltip from two.
        h.runner.report("a", S::Connected);
        h.latencyRound(30.2);
        QVERIFY(!row->sparklineVisible() && row->trailing() == TunnelRow::Trailing::Uptime);
        h.latencyRound(41.6);
        QVERIFY(row->sparklineVisible() && row->sparklineToolTip() == u"Server round trip 42ms"_s);
        const qint64 before = h.t("a").uptimeSec;
        h.clock.advance(5000);
        QCOMPARE(row->uptimeText(), fmtUptime(before + 5));

        // Hover swaps uptime for the actions; the open button only for an address to open.
        hover(row, true);
        QCOMPARE(row->trailing(), TunnelRow::Trailing::HoverActions);
        QCOMPARE(row->openButtonToolTip(), u"Open http://127.0.0.1:9000"_s);
        hover(row, false);
        QCOMPARE(row->trailing(), TunnelRow::Trailing::Uptime);
        h.state->start("s");
        h.runner.report("s", S::Connected);
        hover(view->row("s"), true);
        QVERIFY(!view->row("s")->openButtonVisible());

        // Failed: the reason, or "Failed" without one, in place of the route; nothing trailing until hovered.
        TunnelRow *failed = view->row("f");
        h.state->start("f");
        h.runner.report("f", S::Failed);
        QVERIFY(failed->failureText() == u"Failed"_s && !failed->routeVisible() &&
                failed->trailing() == TunnelRow::Trailing::None);
        h.state->start("f");
        h.runner.exitWith("f", "Connection refused");
        QVERIFY(failed->failureText() == u"Connection refused"_s && !failed->toggle()->isOn());
        h.state->start("f");
        QVERIFY(failed->routeVisible());

        // The backup badge: on the backup host and on; not on the primary, not once stopped.
        h.state->start("b");
        QVERIFY(!view->row("b")->backupBadgeVisible());
        h.runner.exitWith("b", "Connection refused");
        h.clock.advance(AppState::failoverDelayMs);
        h.runner.report("b", S::Connected);
        QVERIFY(view->row("b")->backupBadgeVisible());
        h.state->stop("b");
        QVERIFY(!view->row("b")->backupBadgeVisible());

        // The switch stops its tunnel; none of this rebuilt the list.
        QTest::mouseClick(row->toggle(), Qt::LeftButton);
        QCOMPARE(h.t("a").status, S::Idle);
        QVERIFY(view->rebuildCount() == builds && view->row("a") == row);
    }

    void groupsListSwitchMenusAndEmptyState()
    {
        // g1 sorts last; g2 and g3 share an order and keep their list order; g4's tunnels are all hidden; "x" names a
        // group that does not exist.
        EngineHarness h({shown("loose1"), shown("p1", "g1"), shown("d1", "g2"), shown("x1", "x"), shown("l1", "g3"),
                         shown("d2", "g2"), shown("h1", "g4", false), shown("p2", "g1", false)},
                        {{"g1", "Prod", 5}, {"g2", "Dev", 1}, {"g3", "Lab", 1}, {"g4", "Hidden", 0}});
        Popover view(*h.state);
        QCOMPARE(view->listEntries(), (QStringList{"group:g2", "row:d1", "row:d2", "group:g3", "row:l1", "group:g1",
                                                   "row:p1", "caption", "row:loose1", "row:x1"}));
        QCOMPARE(view->headerCountText(), u"6 tunnels"_s);
        QCOMPARE((QList<int>{view->header("g1")->count(), view->header("g2")->count()}), (QList<int>{1, 2}));
        // No separator under the last row of a block.
        QVERIFY(view->row("d2")->isLast() && !view->row("d1")->isLast() && view->row("x1")->isLast());

        // The group switch: grey when none is on, amber when some are, green when all are; a tap toggles the group.
        WarpToggle *toggle = view->header("g2")->groupSwitch();
        QList<S> seen{toggle->status()};
        for (const char *id : {"d1", "d2"}) {
            h.state->start(id);
            seen << toggle->status();
        }
        QCOMPARE(seen, (QList<S>{S::Idle, S::Connecting, S::Connected}));
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(h.state->groupState("g2") == GroupToggleState::None && !toggle->isOn());
        h.state->start("d1");

        // Folding hides the rows, keeps the header, and survives a rebuild of the list; the menu names the fold action
        // after the state.
        std::unique_ptr<QMenu> menu(view->header("g2")->createMenu(nullptr));
        QCOMPARE(menuTexts(menu.get()), (QStringList{"Collapse", "Rename…", "-", "Delete Group"}));
        QTest::mouseClick(view->header("g2")->foldButton(), Qt::LeftButton);
        h.state->duplicate("l1");
        QVERIFY(!view->listEntries().contains("row:d2") && view->listEntries().contains("group:g2"));
        menu.reset(view->header("g2")->createMenu(nullptr));
        trigger(menu.get(), "Expand");
        QVERIFY(!view->collapsed().contains("g2") && view->listEntries().contains("row:d2"));

        // Row menu: the browser entry only with an address to open, closing the popover before opening it.
        menu.reset(view->row("d2")->createMenu(nullptr));
        const QStringList plain{"Edit…", "Duplicate", "View Log", "-", "Delete"};
        QCOMPARE(menuTexts(menu.get()), plain);
        trigger(menu.get(), "Edit…");
        trigger(menu.get(), "View Log");
        h.runner.report("d1", S::Connected);
        menu.reset(view->row("d1")->createMenu(nullptr));
        QCOMPARE(menuTexts(menu.get()), QStringList({"Open in Browser", "-"}) + plain);
        trigger(menu.get(), "Open in Browser");
        QCOMPARE(view.calls, (QStringList{"edit d2", "viewLog d2", "closePopover", "open http://127.0.0.1:9000"}));

        // Duplicate and Delete change the list; the row that was asked lives until the event loop retires it.
        trigger(menu.get(), "Duplicate");
        QCOMPARE(view->header("g2")->count(), 3);
        menu.reset(view->row("d2")->createMenu(nullptr));
        trigger(menu.get(), "Delete");
        QVERIFY(!h.state->tunnel("d2") && !view->row("d2"));
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // Renaming, hosted as the shell hosts it, in a popup window: a modal alert closes every popup when it opens,
        // and the alert, left on its own, still renames.
        QWidget popup(nullptr, Qt::Popup | Qt::FramelessWindowHint);
        view.root.setParent(&popup);
        auto unhost = qScopeGuard([&] { view.root.setParent(nullptr); });
        view.root.show();
        popup.resize(view.root.sizeHint());
        popup.show();
        QVERIFY(QTest::qWaitForWindowExposed(&popup));
        auto dialog = [&] { return view->header("g2")->renameDialog(); };
        menu.reset(view->header("g2")->createMenu(nullptr));
        trigger(menu.get(), "Rename…");
        QApplication::processEvents();
        QVERIFY(dialog()->isVisible() && dialog()->field()->text() == u"Dev"_s);

        // Cancel changes nothing; Return renames, and the new header shows the name as the engine keeps it.
        dialog()->field()->setText("Other");
        QTest::mouseClick(dialog()->cancelButton(), Qt::LeftButton);
        QVERIFY(!view->header("g2")->isRenaming() && h.state->groups().at(1).name == u"Dev"_s);
        view->header("g2")->beginRename();
        dialog()->field()->setText("  Home lab ");
        QTest::keyClick(dialog()->field(), Qt::Key_Return);
        QCOMPARE(view->header("g2")->displayedName(), u"HOME LAB"_s);

        // Deleting a group keeps its tunnels; with every group gone, the loose tunnels have no caption above them.
        menu.reset(view->header("g2")->createMenu(nullptr));
        trigger(menu.get(), "Delete Group");
        for (const char *id : {"g1", "g3", "g4"})
            h.state->deleteGroup(id);
        const QStringList entries = view->listEntries();
        QVERIFY(h.state->groups().isEmpty() && !view->showsUngroupedCaption() && !entries.contains("caption"));
        QVERIFY(entries.contains("row:d1") && entries.contains("row:p1") && !entries.contains("row:h1"));

        // A failed save shows in the header until a later save works. Tunnels not shown in the menu count for
        // nothing, down to the empty state, which leads to a new tunnel.
        view.root.setParent(nullptr);
        view.root.show();
        h.saveError = "/home/me/.local/share/Flumewire/tunnels.json: No space left on device";
        for (const Tunnel &t : QList<Tunnel>(h.state->tunnels())) {
            if (t.showInMenu && t.id != u"x1"_s)
                h.state->deleteTunnel(t.id);
        }
        QVERIFY(view->saveErrorLine()->isVisible() && view->headerCountText() == u"1 tunnel"_s);
        QCOMPARE(view->saveErrorLine()->text(), "Could not save tunnels: " + h.saveError);
        h.saveError.clear();
        h.state->deleteTunnel("x1");
        QVERIFY(view->showsEmptyState() && view->headerCountText().isEmpty() && !view->saveErrorLine()->isVisible());
        QTest::mouseClick(view->emptyState()->newTunnelButton(), Qt::LeftButton);
        QCOMPARE(view.calls.last(), u"newTunnel"_s);
        h.state->importTunnels({shown("a")});
        QVERIFY(!view->showsEmptyState());
    }

    void hoverFollowsThePointerAcrossHideShowAndScrollAndElidedTextShowsItAll()
    {
        QList<Tunnel> many;
        for (int i = 0; i < 30; ++i)
            many.append(makeTunnel(QStringLiteral("t%1").arg(i)));
        many[0].name = u"Postgres primary replica, Frankfurt data centre"_s;
        many[0].targetHost = u"replica-03.frankfurt.db.internal.corp.example"_s;
        EngineHarness h(many, {}, false);
        h.state->start("t1");
        h.runner.report("t1", S::Connected);
        Popover view(*h.state);
        PopoverView *p = view.operator->();

        // Elided text shows its whole text as a tooltip.
        FWLabel *name = p->row("t0")->nameLabel();
        QVERIFY(name->isElided() && name->toolTip() == many[0].name);
        QCOMPARE(p->row("t0")->route()->toLabel()->toolTip(), many[0].to());
        QVERIFY(p->row("t1")->nameLabel()->toolTip().isEmpty());

        // Pointer events put the hover on rows and a footer button (a leave that never came), then the popover
        // closes: nothing keeps its hover look, and the connected row shows its uptime again, not its actions.
        hover(p->row("t1"), true);
        hover(p->quitButton(), true);
        view.root.hide();
        QVERIFY(hoveredRows(p).isEmpty() && !p->quitButton()->isHovered());
        QCOMPARE(p->row("t1")->trailing(), TunnelRow::Trailing::Uptime);

        // Shown again with the pointer resting on a row, then the list scrolls under the still pointer: the hover
        // moves to the row that is now beneath it.
        QCursor::setPos(p->row("t2")->mapToGlobal(p->row("t2")->rect().center()));
        view.root.show();
        QCOMPARE(hoveredRows(p), QStringList{"t2"});
        p->body()->verticalScrollBar()->setValue(p->row("t6")->y());
        const QStringList now = hoveredRows(p);
        QCOMPARE(now.size(), 1);
        QVERIFY(p->row(now.first())->rect().contains(p->row(now.first())->mapFromGlobal(QCursor::pos())));

        // The long list scrolls inside its body, leaving the footer on screen and working.
        QVERIFY(p->quitButton()->isVisible());
        for (QWidget *button : QList<QWidget *>{p->preferencesButton(), p->newTunnelButton(), p->quitButton()})
            QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(view.calls, (QStringList{"closePopover", "openPreferences", "newTunnel", "quit"}));
    }

    void keyboardReachesEveryControlByNameWithARing()
    {
        EngineHarness h({shown("a", "g"), shown("b")}, {{"g", "Work", 0}}, false);
        Popover view(*h.state);
        view.root.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view.root));
        if (QWidget *focus = QApplication::focusWidget())
            focus->clearFocus();

        // Tab walks the list from top to bottom, then the footer, and comes round; a row's actions follow its switch.
        QStringList names;
        for (QWidget *focus = &view.root; names.size() < 11;) {
            QTest::keyClick(focus, Qt::Key_Tab);
            QCoreApplication::processEvents();
            focus = QApplication::focusWidget();
            QVERIFY(focus);
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(focus);
            names << face->text(QAccessible::Name);
            QVERIFY2(showsFocusRing(focus), qPrintable(names.last()));
            auto toggle = qobject_cast<WarpToggle *>(focus);
            QCOMPARE(face->role(), toggle ? QAccessible::CheckBox : QAccessible::Button);
        }
        QCOMPARE(names, (QStringList{"Collapse Work", "Actions for group Work", "All tunnels in Work", "Tunnel a",
                                     "Actions for Tunnel a", "Tunnel b", "Actions for Tunnel b", "New Tunnel",
                                     "Preferences", "Quit Flumewire", "Collapse Work"}));

        // Space on a focused switch starts its tunnel; the accessible state follows.
        TunnelRow *b = view->row("b");
        b->toggle()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(b->toggle(), Qt::Key_Space);
        QVERIFY(h.runner.calls.contains("start b") &&
                QAccessible::queryAccessibleInterface(b->toggle())->state().checked);
        // Space on the actions button opens the row menu.
        QTest::keyClick(b->menuButton(), Qt::Key_Space);
        QMenu *menu = b->findChild<QMenu *>();
        QVERIFY(menu && menu->isVisible());
    }
};

QTEST_MAIN(TestPopover)
#include "tst_Popover.moc"
