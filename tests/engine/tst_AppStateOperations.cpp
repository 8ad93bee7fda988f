#include "engine/EngineHarness.h"
#include "model/Store.h"
#include "model/UserDefaults.h"
#include "support/LogCapture.h"
#include "support/TempHome.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

using S = TunnelStatus;

namespace {

QStringList idsOf(const QList<Tunnel> &list)
{
    QStringList ids;
    for (const Tunnel &t : list)
        ids << t.id;
    return ids;
}

TunnelGroup group(const QString &id, const QString &name, qint64 order)
{
    TunnelGroup g;
    g.id = id;
    g.name = name;
    g.order = order;
    return g;
}

Tunnel grouped(const QString &id, const QString &groupId)
{
    Tunnel t = makeTunnel(id);
    t.groupId = groupId;
    return t;
}

QList<TunnelGroup> groupsOnDisk(bool dev)
{
    QFile f(Store::groupsPath(dev));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return Store::decodeGroups(f.readAll()).value_or(QList<TunnelGroup>());
}

// Removes both files, runs the operation, and checks that both were written again with the state's own lists.
void expectBothFilesRewritten(AppState &state, bool dev, const std::function<void()> &operation, const char *what)
{
    QFile::remove(Store::tunnelsPath(dev));
    QFile::remove(Store::groupsPath(dev));
    operation();
    QVERIFY2(QFile::exists(Store::tunnelsPath(dev)), what);
    QVERIFY2(QFile::exists(Store::groupsPath(dev)), what);
    QStringList own;
    for (const Tunnel &t : state.tunnels()) {
        if (!state.isBorrowed(t.id))
            own << t.id;
    }
    QCOMPARE(idsOf(Store::readTunnels(dev).value_or(QList<Tunnel>())), own);
    QCOMPARE(groupsOnDisk(dev), state.groups());
}

} // namespace

class TstAppStateOperations : public QObject {
    Q_OBJECT
private slots:
    void saveNewAndEdited();
    void deleteStopsARunningTunnelFirst();
    void duplicateGoesRightBelow();
    void groupOperations();
    void groupStateAndToggle();
    void importTunnelsSkipsKnownIds();
    void everyOperationRewritesBothFiles();
    void borrowedTunnelsAreWrittenOnlyOnceAdopted();
};

void TstAppStateOperations::saveNewAndEdited()
{
    TempHome home;
    LogCapture log;
    UserDefaults defaults(home.path() + QStringLiteral("/defaults.json"));
    const QString up = QStringLiteral("up");
    const QString down = QStringLiteral("down");
    EngineHarness h({makeTunnel(up), makeTunnel(down)}, {group(QStringLiteral("g"), QStringLiteral("G"), 0)});
    int listChanges = 0;
    QObject::connect(h.state.get(), &AppState::tunnelsChanged, h.state.get(), [&] { ++listChanges; });

    // Only a blank host is refused; a new tunnel is saved, not started, even with autostart.
    TunnelForm form;
    form.host = QStringLiteral(" \n\t");
    QVERIFY(!h.state->save(form, std::nullopt));
    QVERIFY(h.persistedTunnels.isEmpty());
    form.host = QStringLiteral("db");
    form.name = QStringLiteral("  ");
    form.autostart = true;
    QVERIFY(h.state->save(form, std::nullopt));
    const Tunnel &made = h.state->tunnels().last();
    QVERIFY(QRegularExpression(QStringLiteral("^new-[0-9A-F]{6}$")).match(made.id).hasMatch());
    QCOMPARE(made.name, QStringLiteral("db"));
    QVERIFY(h.runner.calls.isEmpty());
    QCOMPARE(idsOf(h.persistedTunnels.last()), QStringList({"up", "down", made.id}));
    QVERIFY(log.contains(QStringLiteral("persisted 3 tunnels, 1 groups")));
    QCOMPARE(listChanges, 1);

    // Editing a connected tunnel relaunches it with the new settings and a fresh log.
    h.state->start(up);
    h.runner.report(up, S::Connected);
    h.runner.log(up, QStringLiteral("old run"));
    TunnelForm edit = TunnelForm::from(h.t(up), defaults);
    edit.host = QStringLiteral("new.test");
    QVERIFY(h.state->save(edit, up));
    QCOMPARE(h.t(up).status, S::Connecting);
    QCOMPARE(h.runner.started.last().host, QStringLiteral("new.test"));
    QVERIFY(h.state->logs(up).isEmpty());
    QCOMPARE(h.persistedTunnels.last().at(0).host, QStringLiteral("new.test"));

    // Editing a failed one keeps it failed; an empty name falls back to the host as typed.
    h.state->start(down);
    h.runner.exitWith(down, QStringLiteral("refused"));
    TunnelForm editDown = TunnelForm::from(h.t(down), defaults);
    editDown.name.clear();
    editDown.host = QStringLiteral(" h2 ");
    QVERIFY(h.state->save(editDown, down));
    QCOMPARE(h.t(down).status, S::Failed);
    QCOMPARE(h.t(down).name, QStringLiteral(" h2 "));
    QCOMPARE(h.runner.startsOf(down), 1);

    // An editing id that no longer exists makes a new tunnel.
    QVERIFY(h.state->save(form, QStringLiteral("gone")));
    QCOMPARE(h.state->tunnels().size(), 4);
}

void TstAppStateOperations::deleteStopsARunningTunnelFirst()
{
    TempHome home;
    const QString s = QStringLiteral("s");
    Tunnel socks = makeTunnel(s, TunnelType::Socks, QStringLiteral("backup.test"));
    socks.autoSocksProxy = true;
    EngineHarness h({makeTunnel(QStringLiteral("b")), socks});
    h.state->start(s);
    h.runner.report(s, S::Connected);                         // flashing
    h.runner.report(s, S::Failed, QStringLiteral("dropped")); // failover pending
    h.runner.log(s, QStringLiteral("line"));
    h.proxy.calls.clear();

    // Observers are told about the removal with the list already as it will be: the deleted tunnel is not found,
    // the others are found where they are.
    QStringList seen;
    const auto look = [&](const QString &id) {
        const Tunnel *gone = h.state->tunnel(id);
        const Tunnel *other = h.state->tunnel(QStringLiteral("b"));
        seen << QStringLiteral("%1 %2").arg(gone ? gone->id : QStringLiteral("-"), other ? other->id : "-");
    };
    QObject::connect(h.state.get(), &AppState::logCleared, h.state.get(), look);
    QObject::connect(h.state.get(), &AppState::flashChanged, h.state.get(), [&](const QString &id) { look(id); });
    h.state->deleteTunnel(s);
    QCOMPARE(seen, QStringList({"- b", "- b"}));
    QCOMPARE(h.runner.calls.last(), QStringLiteral("stop s"));
    QCOMPARE(h.proxy.calls, QStringList({QStringLiteral("disable s")}));
    QVERIFY(!h.state->wantsConnection(s));
    QVERIFY(!h.state->hasPendingWork(s));
    QCOMPARE(h.state->tunnel(s), nullptr);
    QVERIFY(h.state->logs(s).isEmpty());
    QCOMPARE(idsOf(h.persistedTunnels.last()), QStringList({"b"}));
    h.clock.advance(60'000);
    QCOMPARE(h.runner.startsOf(s), 1);

    // An unknown id still stops a child of that id and writes the files.
    h.state->deleteTunnel(QStringLiteral("ghost"));
    QCOMPARE(h.runner.calls.last(), QStringLiteral("stop ghost"));
    QCOMPARE(h.persistedTunnels.size(), 2);
}

void TstAppStateOperations::duplicateGoesRightBelow()
{
    TempHome home;
    const QString api = QStringLiteral("prod-api");
    Tunnel t = makeTunnel(api);
    t.name = QStringLiteral("Prod API");
    t.groupId = QStringLiteral("g");
    t.autostart = true;
    EngineHarness h({t, makeTunnel(QStringLiteral("z"))}, {group(QStringLiteral("g"), QStringLiteral("G"), 0)});
    h.runner.report(api, S::Connected);
    h.latencyRound(4.5);

    h.state->duplicate(api);
    const Tunnel &copy = h.state->tunnels().at(1);
    QVERIFY(QRegularExpression(QStringLiteral("^prod-api-copy-[0-9A-F]{6}$")).match(copy.id).hasMatch());
    QCOMPARE(copy.name, QStringLiteral("Prod API copy"));
    QCOMPARE(copy.status, S::Idle);
    QCOMPARE(copy.uptimeSec, 0);
    QCOMPARE(copy.groupId, QStringLiteral("g"));
    QVERIFY(copy.autostart);
    QCOMPARE(copy.latencyMs, QList<double>({4.5}));
    QCOMPARE(h.runner.startsOf(copy.id), 0);
    QCOMPARE(idsOf(h.persistedTunnels.last()), QStringList({"prod-api", copy.id, "z"}));

    h.state->duplicate(QStringLiteral("ghost"));
    QCOMPARE(h.persistedTunnels.size(), 1);
}

void TstAppStateOperations::groupOperations()
{
    TempHome home;
    EngineHarness none({makeTunnel(QStringLiteral("a"))});
    QCOMPARE(none.state->addGroup(QStringLiteral(" \n ")), std::nullopt);
    QVERIFY(none.persistedGroups.isEmpty());
    QVERIFY(none.state->addGroup(QStringLiteral("First")));
    QCOMPARE(none.state->groups().at(0).order, 0);

    EngineHarness h(
        {grouped(QStringLiteral("a"), QStringLiteral("g1")), grouped(QStringLiteral("b"), QStringLiteral("g2")),
         grouped(QStringLiteral("c"), QStringLiteral("g1"))},
        {group(QStringLiteral("g1"), QStringLiteral("One"), 3), group(QStringLiteral("g2"), QStringLiteral("Two"), 7)});
    int groupChanges = 0;
    QObject::connect(h.state.get(), &AppState::groupsChanged, h.state.get(), [&] { ++groupChanges; });

    const std::optional<QString> id = h.state->addGroup(QStringLiteral("  Ops \n"));
    QVERIFY(id && QRegularExpression(QStringLiteral("^grp-[0-9A-F]{6}$")).match(*id).hasMatch());
    QCOMPARE(h.state->groups().last(), group(*id, QStringLiteral("Ops"), 8));
    QCOMPARE(h.persistedGroups.last(), h.state->groups());
    QCOMPARE(h.persistedTunnels.size(), 1);

    // Rename trims; a blank name or an unknown id changes and writes nothing.
    h.state->renameGroup(QStringLiteral("g2"), QStringLiteral("  Second  "));
    h.state->renameGroup(QStringLiteral("g2"), QStringLiteral("   "));
    h.state->renameGroup(QStringLiteral("nope"), QStringLiteral("X"));
    QCOMPARE(h.state->groups().at(1).name, QStringLiteral("Second"));
    QCOMPARE(h.persistedGroups.size(), 2);

    // Deleting a group keeps its tunnels, ungrouped.
    h.state->deleteGroup(QStringLiteral("g1"));
    QCOMPARE(h.state->groups().size(), 2);
    QCOMPARE(h.state->tunnels().size(), 3);
    QCOMPARE(h.t(QStringLiteral("a")).groupId, std::nullopt);
    QCOMPARE(h.t(QStringLiteral("c")).groupId, std::nullopt);
    QCOMPARE(h.t(QStringLiteral("b")).groupId, QStringLiteral("g2"));
    QCOMPARE(h.persistedTunnels.last().at(0).groupId, std::nullopt);
    h.state->deleteGroup(QStringLiteral("g1"));
    QCOMPARE(h.persistedGroups.size(), 3);
    QCOMPARE(groupChanges, 3);
}

void TstAppStateOperations::groupStateAndToggle()
{
    TempHome home;
    const QString g = QStringLiteral("g");
    EngineHarness h({grouped(QStringLiteral("a"), g), makeTunnel(QStringLiteral("x")), grouped(QStringLiteral("b"), g),
                     grouped(QStringLiteral("c"), g)},
                    {group(g, QStringLiteral("G"), 0), group(QStringLiteral("empty"), QStringLiteral("E"), 1)});
    QCOMPARE(idsOf(h.state->tunnels(g)), QStringList({"a", "b", "c"}));
    QCOMPARE(h.state->groupState(QStringLiteral("empty")), GroupToggleState::None);
    QCOMPARE(h.state->groupState(g), GroupToggleState::None);

    h.state->start(QStringLiteral("a"));
    h.runner.report(QStringLiteral("a"), S::Connected);
    h.state->start(QStringLiteral("b"));
    h.state->start(QStringLiteral("c"));
    h.runner.exitWith(QStringLiteral("c"), QStringLiteral("refused"));
    QCOMPARE(h.state->groupState(g), GroupToggleState::Some);

    // Some on: only the failed third is started. All on: every one is stopped, nothing outside the group.
    h.runner.calls.clear();
    h.state->toggleGroup(g);
    QCOMPARE(h.state->groupState(g), GroupToggleState::All);
    h.state->toggleGroup(g);
    QCOMPARE(h.runner.calls, QStringList({"start c", "stop a", "stop b", "stop c"}));
    QCOMPARE(h.state->groupState(g), GroupToggleState::None);
}

void TstAppStateOperations::importTunnelsSkipsKnownIds()
{
    TempHome home;
    LogCapture log;
    EngineHarness h({makeTunnel(QStringLiteral("a"))});
    Tunnel dup = makeTunnel(QStringLiteral("a"));
    dup.name = QStringLiteral("other");
    Tunnel fresh = makeTunnel(QStringLiteral("new"));
    fresh.status = S::Connected;
    fresh.reason = QStringLiteral("stale");
    fresh.uptimeSec = 9;
    fresh.autostart = true;
    QCOMPARE(h.state->importTunnels({dup, fresh, fresh}), 2);
    QVERIFY(log.contains(QStringLiteral("imported 2 of 3 tunnels from ssh config")));
    QCOMPARE(idsOf(h.state->tunnels()), QStringList({"a", "new", "new"}));
    QCOMPARE(h.t(QStringLiteral("a")).name, QStringLiteral("Tunnel a"));
    const Tunnel &imported = h.state->tunnels().at(1);
    QVERIFY(imported.status == S::Idle && !imported.reason && imported.uptimeSec == 0);
    QVERIFY(h.runner.calls.isEmpty());
    QCOMPARE(h.persistedTunnels.size(), 1);

    QCOMPARE(h.state->importTunnels({dup}), 0);
    QVERIFY(log.contains(QStringLiteral("imported 0 of 1 tunnels from ssh config")));
    QCOMPARE(h.persistedTunnels.size(), 1);

    // Outside the development build there is nothing to take over, and nothing is logged.
    log.clear();
    QCOMPARE(h.state->importFromProduction(), 0);
    QVERIFY(log.entries().isEmpty());
}

void TstAppStateOperations::everyOperationRewritesBothFiles()
{
    TempHome home;
    LogCapture log;
    FakeRunner runner;
    ManualClock clock;
    AppStateOptions options;
    options.ssh = &runner;
    options.clock = &clock;
    options.resolveServer = [](const Tunnel &, std::function<void(std::optional<ServerAddress>)>) {};
    AppState state(options);
    QVERIFY(log.contains(QStringLiteral("launch: 4 tunnels (seeded), 0 borrowed")));
    // The samples of a first launch wait for the user to switch them on.
    QVERIFY(runner.calls.isEmpty());
    QVERIFY(!QFile::exists(Store::tunnelsPath(false)));

    // Each step removes both files first; they run in order, each on what the one before made.
    TunnelForm form;
    form.host = QStringLiteral("db");
    QString made;
    std::optional<QString> gid;
    const QList<std::pair<const char *, std::function<void()>>> operations{
        {"save",
         [&] {
             QVERIFY(state.save(form, std::nullopt));
             made = state.tunnels().last().id;
         }},
        {"addGroup", [&] { gid = state.addGroup(QStringLiteral("Ops")); }},
        {"renameGroup", [&] { state.renameGroup(*gid, QStringLiteral("Ops 2")); }},
        {"save edit",
         [&] {
             form.groupId = gid;
             state.save(form, made);
         }},
        {"duplicate", [&] { state.duplicate(made); }},
        {"deleteGroup", [&] { state.deleteGroup(*gid); }},
        {"delete", [&] { state.deleteTunnel(made); }},
        {"importTunnels", [&] { state.importTunnels({makeTunnel(QStringLiteral("imp"))}); }}};
    for (const auto &[what, operation] : operations)
        expectBothFilesRewritten(state, false, operation, what);
    QCOMPARE(Store::readTunnels(false)->size(), 6);

    // A fresh state reads back what was written.
    FakeRunner runner2;
    options.ssh = &runner2;
    options.autostart = false;
    AppState again(options);
    QCOMPARE(idsOf(again.tunnels()), idsOf(state.tunnels()));
    QCOMPARE(again.groups(), state.groups());
}

void TstAppStateOperations::borrowedTunnelsAreWrittenOnlyOnceAdopted()
{
    TempHome home;
    LogCapture log;
    Tunnel p1 = makeTunnel(QStringLiteral("p1"));
    p1.autostart = true;
    Tunnel installedOwn = makeTunnel(QStringLiteral("own"));
    installedOwn.name = QStringLiteral("installed copy");
    QVERIFY(Store::save({makeTunnel(QStringLiteral("own"))}, true));
    QVERIFY(Store::save({p1, makeTunnel(QStringLiteral("p3")), makeTunnel(QStringLiteral("p4")), installedOwn}, false));

    FakeRunner runner;
    ManualClock clock;
    AppStateOptions options;
    options.ssh = &runner;
    options.clock = &clock;
    options.dev = true;
    options.resolveServer = [](const Tunnel &, std::function<void(std::optional<ServerAddress>)>) {};
    AppState state(options);
    QVERIFY(log.contains(QStringLiteral("launch: 4 tunnels (loaded), 3 borrowed")));
    QCOMPARE(idsOf(state.tunnels()), QStringList({"own", "p1", "p3", "p4"}));
    QVERIFY(state.isBorrowed(QStringLiteral("p1")));
    QVERIFY(runner.calls.isEmpty()); // borrowed tunnels never autostart
    QCOMPARE(state.tunnel(QStringLiteral("own"))->name, QStringLiteral("Tunnel own"));

    // A change to another tunnel writes only the build's own.
    state.duplicate(QStringLiteral("own"));
    QCOMPARE(Store::readTunnels(true)->size(), 2);
    state.deleteTunnel(state.tunnels().at(1).id);
    QCOMPARE(idsOf(*Store::readTunnels(true)), QStringList({"own"}));

    // Saving a borrowed tunnel from the editor adopts it.
    UserDefaults defaults(home.path() + QStringLiteral("/defaults.json"));
    QVERIFY(state.save(TunnelForm::from(*state.tunnel(QStringLiteral("p1")), defaults), QStringLiteral("p1")));
    QVERIFY(!state.isBorrowed(QStringLiteral("p1")));
    QCOMPARE(idsOf(*Store::readTunnels(true)), QStringList({"own", "p1"}));

    // Taking over the rest: p3 and p4 are replaced in place, nothing already owned is touched. A running borrowed
    // tunnel keeps its run (p3); one whose command the installed settings change is relaunched with them (p4).
    for (const char *id : {"p3", "p4"}) {
        state.start(QString::fromLatin1(id));
        runner.report(QString::fromLatin1(id), S::Connected);
    }
    Tunnel p4 = makeTunnel(QStringLiteral("p4"));
    p4.host = QStringLiteral("moved.test");
    QVERIFY(Store::save({p1, makeTunnel(QStringLiteral("p3")), p4, installedOwn}, false));
    QCOMPARE(state.importFromProduction(), 2);
    QCOMPARE(state.tunnel(QStringLiteral("p3"))->status, S::Connected);
    QVERIFY(state.wantsConnection(QStringLiteral("p3")));
    QCOMPARE(runner.startsOf(QStringLiteral("p3")), 1);
    QCOMPARE(state.tunnel(QStringLiteral("p4"))->status, S::Connecting);
    QCOMPARE(runner.started.last().host, QStringLiteral("moved.test"));
    QVERIFY(log.contains(QStringLiteral("imported 2 tunnels from production")));
    QVERIFY(state.borrowedIds().isEmpty());
    QCOMPARE(idsOf(state.tunnels()), QStringList({"own", "p1", "p3", "p4"}));
    QCOMPARE(idsOf(*Store::readTunnels(true)), QStringList({"own", "p1", "p3", "p4"}));
    QVERIFY(!state.tunnel(QStringLiteral("p3"))->autostart);
    QCOMPARE(state.tunnel(QStringLiteral("own"))->name, QStringLiteral("Tunnel own"));

    // Nothing left to take over: 0, still logged, nothing written.
    QFile::remove(Store::tunnelsPath(true));
    QCOMPARE(state.importFromProduction(), 0);
    QVERIFY(log.contains(QStringLiteral("imported 0 tunnels from production")));
    QVERIFY(!QFile::exists(Store::tunnelsPath(true)));
}

QTEST_GUILESS_MAIN(TstAppStateOperations)
#include "tst_AppStateOperations.moc"
