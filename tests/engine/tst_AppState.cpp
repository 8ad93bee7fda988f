#include "engine/EngineHarness.h"
#include "model/Store.h"
#include "model/UserDefaults.h"
#include "support/LogCapture.h"
#include "support/TempHome.h"
#include "support/WorkedExamples.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

using S = TunnelStatus;

namespace {

const QString a = QStringLiteral("a");
const QString b = QStringLiteral("b");
const QString refused = QStringLiteral("Connection refused");
const QString toBackup = QStringLiteral("connecting: Primary unreachable — trying backup…");
const QString toPrimary = QStringLiteral("connecting: Backup unreachable — trying primary…");
const QString viaBackup = QStringLiteral("connecting: Connecting via backup…");

// A local forward with a backup server, backup.test on port 2222.
Tunnel backed(const QString &id)
{
    Tunnel t = makeTunnel(id, TunnelType::Local, QStringLiteral("backup.test"));
    t.backupSshPort = QStringLiteral("2222");
    return t;
}

void bringUp(EngineHarness &h, const QString &id)
{
    h.runner.report(id, S::Connecting);
    h.runner.report(id, S::Connected);
}

// One failing run as ssh delivers it (a failed report for the deciding line, then another when the child exits);
// then the clock runs to the launch that scheduled, if any.
void failRun(EngineHarness &h, const QString &id, const QString &reason)
{
    h.runner.report(id, S::Failed, reason);
    h.runner.exitWith(id, reason);
    const qsizetype starts = h.runner.started.size();
    for (qint64 due = h.clock.nextSingleShotDue(); due >= 0 && h.runner.started.size() == starts;
         due = h.clock.nextSingleShotDue())
        h.clock.advance(due - h.clock.now());
}

// Every change one tunnel publishes, as "+<ms since the change before> <what it shows>", repeats left out.
struct Trace {
    QStringList seen;
    Trace(EngineHarness &h, const QString &id)
    {
        QObject::connect(h.state.get(), &AppState::tunnelChanged, h.state.get(),
                         [this, &h, id, at = h.clock.now(), last = QString()](const QString &changed) mutable {
                             if (changed != id || h.shown(id) == last)
                                 return;
                             last = h.shown(id);
                             seen << QStringLiteral("+%1 %2").arg(h.clock.now() - at).arg(last);
                             at = h.clock.now();
                         });
    }
};

} // namespace

class TstAppState : public QObject {
    Q_OBJECT
    std::unique_ptr<TempHome> m_home;
private slots:
    void init() { m_home = std::make_unique<TempHome>(); }
    void cleanup() { m_home.reset(); }

    void lifecycle()
    {
        Tunnel socks = makeTunnel("s", TunnelType::Socks);
        socks.bind = "0.0.0.0";
        socks.bindPort = "1080";
        socks.autoSocksProxy = true;
        EngineHarness h({makeTunnel(a), socks});
        QStringList flashes;
        QObject::connect(h.state.get(), &AppState::flashChanged, h.state.get(), [&](const QString &id, bool on) {
            flashes << QStringLiteral("%1%2 %3").arg(id, on ? "+" : "-").arg(h.clock.now());
        });

        // Connected: a flash of 0.52 s. A second connected report keeps the uptime, and a flash begun again meanwhile
        // ends with the timer of the first.
        h.state->start(a);
        bringUp(h, a);
        h.clock.advance(1000);
        h.runner.report(a, S::Connected);
        QCOMPARE(h.t(a).uptimeSec, 2);
        h.clock.advance(300);
        h.runner.report(a, S::Connected);
        h.clock.advance(1000);
        QCOMPARE(flashes, QStringList({"a+ 0", "a- 520", "a+ 1000", "a+ 1300", "a- 1520"}));

        // SOCKS with the automatic proxy on the wildcard address points the system proxy at loopback; failing switches
        // it off and ends the uptime. Only connected tunnels count as active.
        h.state->start("s");
        QCOMPARE(h.state->activeCount(), 1);
        bringUp(h, "s");
        QCOMPARE(h.state->activeCount(), 2);
        h.runner.exitWith("s", "Connection closed");
        QCOMPARE(h.proxy.calls.last(2), QStringList({"enable s 127.0.0.1 1080", "disable s"}));
        QCOMPARE(h.t("s").uptimeSec, 0);
        h.state->toggle("s"); // failed: starts

        // stop: idle, child stopped, proxy off, run-time fields reset; the log stays for reading.
        h.runner.log(a, "debug1: kept");
        h.latencyRound(1.5);
        h.state->stop(a);
        QVERIFY(h.proxy.calls.last() == "disable a" && h.shown(a) == "idle" && h.t(a).uptimeSec == 0 &&
                h.t(a).latencyMs.isEmpty() && h.state->logs(a).size() == 1 && !h.state->wantsConnection(a) &&
                !h.state->everConnected(a));
        h.state->toggle(a); // idle: starts
        h.state->toggle(a); // connecting: stops

        // Deleting a running tunnel stops it first, pending reconnect and all. Observers are told with the list already
        // as it will be: the deleted tunnel is not found, the others are found where they are.
        bringUp(h, "s");
        h.runner.report("s", S::Failed, "dropped");
        h.runner.log("s", "line");
        QStringList seen;
        const auto look = [&] { seen << QStringLiteral("%1 %2").arg(h.state->tunnel("s") ? "s" : "-", h.t(a).id); };
        QObject::connect(h.state.get(), &AppState::logCleared, h.state.get(), look);
        QObject::connect(h.state.get(), &AppState::flashChanged, h.state.get(), look);
        h.state->deleteTunnel("s");
        QCOMPARE(seen, QStringList({"- a", "- a"}));
        QVERIFY(h.proxy.calls.last() == "disable s" && !h.state->wantsConnection("s") && h.state->logs("s").isEmpty());
        QCOMPARE(tunnelIds(h.persistedTunnels.last()), QStringList({"a"}));
        h.clock.advance(60'000);
        // An unknown id still stops a child of that id and writes the files.
        h.state->deleteTunnel("ghost");
        QCOMPARE(h.persistedTunnels.size(), 2);
        QCOMPARE(h.runner.calls.last(6),
                 QStringList({"start s", "stop a", "start a", "stop a", "stop s", "stop ghost"}));

        // Only the current run is heard.
        QSignalSpy appended(h.state.get(), &AppState::logAppended);
        QSignalSpy cleared(h.state.get(), &AppState::logCleared);
        Trace trace(h, a);
        h.state->start(a);
        bringUp(h, a);
        h.runner.log(a, "first run");
        const quint64 first = h.runner.runs.value(a);
        h.state->start(a);
        // What the replaced child said arrives after the new run began: none of it reaches the new run, whose log
        // starts empty and keeps the newest 500 lines. Lines for an id never started are not heard either.
        h.runner.log(a, "last words of the old child", first);
        h.runner.report(a, S::Failed, "Disconnected", first);
        h.runner.report(a, S::Connected, std::nullopt, first);
        h.runner.log("ghost", "x");
        for (int i = 1; i <= 501; ++i)
            h.runner.log(a, QStringLiteral("line %1").arg(i));
        h.runner.report(a, S::Connected);
        const QList<LogLine> log = h.state->logs(a);
        QCOMPARE(QStringLiteral("%1: %2 to %3").arg(log.size()).arg(log.first().text, log.last().text),
                 "500: line 2 to line 501");
        QVERIFY(h.state->logs("ghost").isEmpty() && appended.size() == 502 && cleared.size() == 2);

        // After stop, late reports of the run are not heard, even with a child running under the id again.
        h.state->stop(a);
        h.runner.report(a, S::Failed, "late");
        h.runner.running.insert(a);
        h.runner.report(a, S::Connected);
        h.clock.advance(60'000);
        QCOMPARE(trace.seen,
                 QStringList({"+0 connecting", "+0 connected", "+0 connecting", "+0 connected", "+0 idle"}));
    }

    void tickCountsUptimeAndProbesTheServer()
    {
        EngineHarness h(
            {makeTunnel(a), backed(b), makeTunnel("s", TunnelType::Socks), makeTunnel("r", TunnelType::Remote)});
        h.clock.advance(5000); // ticks with nothing connected do not count towards a latency round
        h.state->start(a);
        bringUp(h, a);
        QSignalSpy changed(h.state.get(), &AppState::tunnelChanged);
        QSignalSpy ticks(h.state.get(), &AppState::uptimeTicked);
        h.clock.advance(2000);
        // The tick announces the uptime once for all, not as a change of every connected tunnel.
        QVERIFY(h.t(a).uptimeSec == 3 && ticks.size() == 2 && changed.isEmpty() && h.probes.isEmpty());

        // The third connected tick measures the SSH server the run connects to, never the tunnel's own listener; after
        // a failover the backup is measured; SOCKS and remote forwards are neither looked up nor probed.
        h.clock.advance(1000);
        h.state->start(b);
        failRun(h, b, refused);
        bringUp(h, b);
        for (const char *id : {"s", "r"}) {
            h.state->start(id);
            bringUp(h, id);
        }
        h.clock.advance(3000);
        QCOMPARE(h.probed, QStringList({"primary.test:22", "primary.test:22", "backup.test:2222"}));
        QCOMPARE(h.lookups.size(), 3);

        // The newest 24 samples are kept; no answer adds none.
        for (int i = 1; i <= 25; ++i)
            h.probes.at(1)(double(i));
        h.probes.at(0)(std::nullopt);
        QVERIFY(h.t(a).latencyMs.size() == 24 && h.t(a).latencyMs.first() == 2.0);

        // A result for an earlier run is dropped, even when the tunnel is connected again; leaving connected clears.
        h.state->start(b);
        bringUp(h, b);
        h.probes.at(2)(3.0);
        h.runner.report(a, S::Connecting);
        QVERIFY(h.t(b).latencyMs.isEmpty() && h.t(a).latencyMs.isEmpty());

        // A server not known yet is not probed; a late answer for an earlier launch is not taken for the current one.
        EngineHarness held({backed(a)});
        held.holdLookups = true;
        held.state->start(a);
        held.state->start(a);
        bringUp(held, a);
        held.heldLookups.at(0)(ServerAddress{"old.test", 22});
        held.clock.advance(6000);
        held.heldLookups.at(1)(ServerAddress{"new.test", 2200});
        held.clock.advance(3000);
        QCOMPARE(held.probed, QStringList({"new.test:2200"}));

        // What is still in flight when the state goes away is dropped quietly.
        held.state->start(a);                // a lookup
        held.runner.report(a, S::Connected); // a flash
        held.runner.exitWith(a, refused);    // a failover
        held.state.reset();
        held.clock.advance(60'000);
        held.probes.at(0)(1.0);
        held.heldLookups.at(2)(ServerAddress{"late.test", 22});
        held.runner.report(a, S::Connected);
        held.runner.log(a, "late");
        QCOMPARE(held.runner.startsOf(a), 3);
    }

    void failsOverBetweenPrimaryAndBackup()
    {
        LogCapture log;
        EngineHarness h({backed(a), makeTunnel(b, TunnelType::Local, " \t ")});
        QSignalSpy gaveUp(h.state.get(), &AppState::gaveUp);
        Trace trace(h, a);
        // Before any connection the backup is tried once, then the tunnel stays failed with the runner's reason, which
        // is giving up. The runner's own report of the backup's launch keeps the launch's reason.
        h.state->start(a);
        failRun(h, a, refused);
        h.runner.report(a, S::Connecting);
        failRun(h, a, "Host key verification failed");
        QVERIFY(!gaveUp.isEmpty());

        // After a connection: the backup, the primary, a reconnect, the backup again. Every failing run reports twice;
        // the repeat must not turn a failover into a failover back or a reconnect, or a dead primary would be the only
        // server ever tried. Connected on the backup it stays there, and counts attempts from zero again.
        h.state->start(a);
        bringUp(h, a);
        for (const QString &reason : {QStringLiteral("Connection closed"), refused, refused, refused})
            failRun(h, a, reason);
        bringUp(h, a);
        for (const QString &reason : {QStringLiteral("Disconnected"), refused, refused})
            failRun(h, a, reason);
        const QString reconnect = QStringLiteral("+0 failed: Reconnecting in 1s (1/6)");
        QCOMPARE(
            trace.seen,
            QStringList(
                {"+0 connecting",   "+0 " + toBackup,    "+600 " + viaBackup, "+0 failed: Host key verification failed",
                 "+0 connecting",   "+0 connected",      "+0 " + toBackup,    "+600 " + viaBackup,
                 "+0 " + toPrimary, "+600 connecting",   reconnect,           "+1000 connecting",
                 "+0 " + toBackup,  "+600 " + viaBackup, "+0 connected",      "+0 " + toPrimary,
                 "+600 connecting", "+0 " + toBackup,    "+600 " + viaBackup, reconnect,
                 "+1000 connecting"}));

        // A backup of spaces and tabs is no backup.
        h.state->start(b);
        failRun(h, b, refused);
        QCOMPARE(h.shown(b), "failed: " + refused);

        // Pending launches give way. stop while a failover is pending: nothing launches.
        const qsizetype before = h.runner.started.size();
        h.state->start(a);
        h.runner.exitWith(a, refused);
        h.state->stop(a);
        h.clock.advance(60'000);

        // start while a failover (a) or a reconnect (b) is pending: launches at once on the primary, counting attempts
        // from zero, and the pending launch never comes.
        for (const QString &id : {a, b}) {
            h.state->start(id);
            bringUp(h, id);
            h.runner.exitWith(id, "closed");
            h.state->start(id);
        }
        QCOMPARE(h.state->reconnectAttempts(b), 0);
        h.clock.advance(60'000);

        // A run that reported a failure and then connected after all (ssh tried the next address): the failover it
        // scheduled must not replace the working session, which stays on the server it is really on.
        h.runner.report(a, S::Failed, refused);
        h.runner.report(a, S::Connected);
        QCOMPARE(h.t(a).activeHostIndex, 0);
        // Connected in an earlier run does not count after a new start: the new run's failure is not reconnected.
        h.runner.exitWith(b, "Permission denied");
        h.clock.advance(60'000);
        QStringList launched;
        for (const Tunnel &t : h.runner.started.mid(before))
            launched << t.id + "@" + t.host;
        QCOMPARE(launched, QStringList({"a@primary.test", "a@primary.test", "a@primary.test", "b@primary.test",
                                        "b@primary.test"}));

        // The state lines the system log promises.
        const QStringList lines = log.messages(Log::Category::State);
        for (const char *line :
             {"launch: 2 tunnels (loaded), 0 borrowed", "connect a (L) via primary", "failover a → backup",
              "connect a (L) via backup", "failover a → primary", "auto-reconnect a in 1s (attempt 1)"})
            QVERIFY2(lines.contains(QString::fromUtf8(line)), line);
    }

    void backOff()
    {
        // limit -1: the tray app's rules; otherwise a headless keeper, which retries a server that is not up yet too,
        // for ever (0) or up to the limit.
        struct Row {
            const char *name;
            int limit;
            bool autoreconnect, connectFirst;
            QList<int> delays;
            const char *attempt;
            bool givesUp, stillWanted;
        };
        const QList<Row> rows{{"after a connection", -1, true, true, {1, 2, 4, 8, 16, 30}, "%1/6", true, false},
                              {"keeper", 0, true, false, {1, 2, 4, 8, 16, 30, 30}, "attempt %1", false, true},
                              {"keeper with a limit", 2, true, false, {1, 2}, "%1/2", true, false},
                              {"autoreconnect off", -1, false, true, {}, "", true, true}};
        for (const Row &row : rows) {
            Tunnel t = makeTunnel(a);
            t.autoreconnect = row.autoreconnect;
            EngineHarness h({t}, {}, false, false, [&row](AppStateOptions &o) {
                o.retryBeforeFirstConnect = row.limit >= 0;
                o.maxReconnectAttempts = row.limit >= 0 ? row.limit : o.maxReconnectAttempts;
            });
            QSignalSpy gaveUp(h.state.get(), &AppState::gaveUp);
            Trace trace(h, a);
            QStringList expected{"+0 connecting"};
            h.state->start(a);
            if (row.connectFirst) {
                bringUp(h, a);
                expected << "+0 connected";
            }
            for (qsizetype i = 0; i < row.delays.size(); ++i) {
                failRun(h, a, "down");
                const QString attempt = QString::fromLatin1(row.attempt).arg(i + 1);
                expected << QStringLiteral("+0 failed: Reconnecting in %1s (%2)").arg(row.delays.at(i)).arg(attempt)
                         << QStringLiteral("+%1 connecting").arg(row.delays.at(i) * 1000);
            }
            if (row.givesUp) {
                failRun(h, a, "down");
                expected << "+0 failed: down";
            }
            QVERIFY2(trace.seen == expected, qPrintable(row.name + QStringLiteral(": ") + trace.seen.join(" | ")));
            QVERIFY2(gaveUp.isEmpty() != row.givesUp && h.state->wantsConnection(a) == row.stillWanted, row.name);
        }
    }

    void saveNewAndEdited()
    {
        UserDefaults defaults(m_home->path() + "/defaults.json");
        EngineHarness h({makeTunnel("up"), makeTunnel("down")});
        QSignalSpy listChanges(h.state.get(), &AppState::tunnelsChanged);

        // Only a blank host is refused; a new tunnel goes last, named after its host when the name is blank, and is not
        // started even with autostart.
        TunnelForm form;
        form.host = " \n\t";
        QVERIFY(!h.state->save(form, std::nullopt));
        form.host = "db";
        form.name = "  ";
        form.autostart = true;
        QVERIFY(h.state->save(form, std::nullopt));
        const Tunnel made = h.state->tunnels().last();
        QVERIFY(QRegularExpression("^new-[0-9A-F]{6} db$").match(made.id + " " + made.name).hasMatch());
        QCOMPARE(tunnelIds(h.persistedTunnels.last()), QStringList({"up", "down", made.id}));
        QVERIFY(h.persistedTunnels.size() == 1 && listChanges.size() == 1);

        // Editing a connected tunnel relaunches it with the new settings and a fresh log.
        h.state->start("up");
        h.runner.report("up", S::Connected);
        h.runner.log("up", "old run");
        TunnelForm edit = TunnelForm::from(h.t("up"), defaults);
        edit.host = "new.test";
        QVERIFY(h.state->save(edit, "up"));
        QCOMPARE(h.shown("up") + ", " + h.runner.started.last().host + ", " + h.persistedTunnels.last().at(0).host,
                 "connecting, new.test, new.test");
        QVERIFY(h.state->logs("up").isEmpty());

        // Editing a failed one keeps it failed; an empty name falls back to the host as typed.
        h.state->start("down");
        h.runner.exitWith("down", "refused");
        edit = TunnelForm::from(h.t("down"), defaults);
        edit.name.clear();
        edit.host = " h2 ";
        QVERIFY(h.state->save(edit, "down"));
        QCOMPARE(h.shown("down") + "," + h.t("down").name, "failed: refused, h2 ");
        QCOMPARE(h.runner.calls, QStringList({"start up", "start up", "start down"}));

        // An editing id that no longer exists makes a new tunnel.
        QVERIFY(h.state->save(form, "gone") && h.state->tunnels().size() == 4);
    }

    void autostartDuplicateImportAndGroups()
    {
        LogCapture log;
        const QString g = QStringLiteral("g");
        QList<Tunnel> tunnels{makeTunnel("prod-api"), makeTunnel(b), makeTunnel("c")};
        tunnels[0].name = "Prod API";
        tunnels[0].autostart = tunnels[2].autostart = true;
        for (Tunnel &t : tunnels)
            t.groupId = t.id == b ? "g2" : g;
        // Creation starts the autostart tunnels in order and writes nothing; command-line runs skip autostart.
        EngineHarness h(tunnels, {{g, "One", 3}, {"g2", "Two", 7}});
        QCOMPARE(h.runner.calls, QStringList({"start prod-api", "start c"}));
        QVERIFY(h.persistedTunnels.isEmpty() && EngineHarness(tunnels, {}, false).runner.calls.isEmpty());
        h.runner.report("prod-api", S::Connected);
        h.latencyRound(4.5);

        // A copy goes right below, idle, with the original's settings and samples; an unknown id copies nothing.
        h.state->duplicate("prod-api");
        h.state->duplicate("ghost");
        const Tunnel copy = h.state->tunnels().at(1);
        QVERIFY(QRegularExpression("^prod-api-copy-[0-9A-F]{6}$").match(copy.id).hasMatch());
        QCOMPARE(QStringList({copy.name, textOf(copy.status), *copy.groupId, QString::number(copy.latencyMs.value(0))}),
                 QStringList({"Prod API copy", "idle", g, "4.5"}));
        QCOMPARE(h.persistedTunnels, QList<QList<Tunnel>>({h.state->tunnels()}));

        // Importing skips known ids, and adds the rest idle and not started, even with autostart.
        Tunnel known = makeTunnel("c");
        known.name = "other";
        Tunnel fresh = makeTunnel("new");
        fresh.status = S::Connected;
        fresh.reason = "stale";
        fresh.uptimeSec = 9;
        fresh.autostart = true;
        QCOMPARE(h.state->importTunnels({known, fresh, fresh}), 2);
        QCOMPARE(h.state->importTunnels({known}), 0);
        QCOMPARE(tunnelIds(h.state->tunnels()), QStringList({"prod-api", copy.id, "b", "c", "new", "new"}));
        QVERIFY(h.t("c").name == "Tunnel c" && h.shown("new") == "idle" && h.t("new").uptimeSec == 0);
        QVERIFY(h.persistedTunnels.size() == 2 && log.contains("imported 2 of 3 tunnels from ssh config") &&
                log.contains("persisted 6 tunnels, 2 groups"));
        // Outside the development build there is nothing to take over.
        QCOMPARE(h.state->importFromProduction(), 0);

        // Group state: some on starts the rest; all on stops every one, nothing outside the group.
        h.runner.exitWith("c", "refused");
        QCOMPARE(h.state->groupState(g), GroupToggleState::Some);
        h.runner.calls.clear();
        h.state->toggleGroup(g);
        QCOMPARE(h.state->groupState(g), GroupToggleState::All);
        h.state->toggleGroup(g);
        QCOMPARE(h.runner.calls,
                 QStringList({"start " + copy.id, "start c", "stop prod-api", "stop " + copy.id, "stop c"}));
        QCOMPARE(h.state->groupState(g), GroupToggleState::None);

        // Adding trims and orders after the last; renaming trims; a blank name or an unknown id changes and writes
        // nothing (nor does deleting an unknown group).
        QSignalSpy groupChanges(h.state.get(), &AppState::groupsChanged);
        QCOMPARE(h.state->addGroup(" \n "), std::nullopt);
        const std::optional<QString> id = h.state->addGroup("  Ops \n");
        QVERIFY(id && QRegularExpression("^grp-[0-9A-F]{6}$").match(*id).hasMatch());
        h.state->renameGroup("g2", "  Second  ");
        h.state->renameGroup("g2", "   ");
        h.state->renameGroup("nope", "X");
        h.state->deleteGroup("nope");
        const QList<TunnelGroup> groups{{g, "One", 3}, {"g2", "Second", 7}, {*id, "Ops", 8}};
        QCOMPARE(h.persistedGroups.size(), 4); // the copy, the import, the new group, the one renaming
        QVERIFY(h.state->groups() == groups && h.persistedGroups.last() == groups);

        // Deleting a group keeps its tunnels, ungrouped.
        h.state->deleteGroup(g);
        QVERIFY(h.state->tunnels().size() == 6 && !h.t("c").groupId && h.t(b).groupId == "g2");
        QVERIFY(h.persistedTunnels.last() == h.state->tunnels() && groupChanges.size() == 3);
    }

    // The files themselves: the development build writes only its own tunnels, the installed build's stay borrowed
    // until adopted, and both files are written.
    void borrowedTunnelsAreWrittenOnlyOnceAdopted()
    {
        Tunnel p1 = makeTunnel("p1");
        Tunnel installedOwn = makeTunnel("own");
        installedOwn.name = "installed copy";
        QVERIFY(Store::save({makeTunnel("own")}, true));
        QVERIFY(Store::save({p1, makeTunnel("p3"), makeTunnel("p4"), installedOwn}, false));
        EngineHarness h({}, {}, true, true, [](AppStateOptions &o) {
            o.tunnels.reset(); // the files, and nothing recorded instead of them
            o.groups.reset();
            o.persist = nullptr;
            o.groupsPersist = nullptr;
        });
        AppState &state = *h.state;
        QVERIFY(state.isBorrowed("p1"));

        // A change to another tunnel writes only the build's own.
        state.duplicate("own");
        QCOMPARE(Store::readTunnels(true)->size(), 2);
        state.deleteTunnel(state.tunnels().at(1).id);
        state.addGroup("Ops");
        QCOMPARE(Store::load(std::nullopt, std::nullopt, true).groups, state.groups());

        // Saving a borrowed tunnel from the editor adopts it.
        UserDefaults defaults(m_home->path() + "/defaults.json");
        QVERIFY(state.save(TunnelForm::from(*state.tunnel("p1"), defaults), "p1"));
        QVERIFY(!state.isBorrowed("p1"));
        QCOMPARE(tunnelIds(*Store::readTunnels(true)), QStringList({"own", "p1"}));

        // Taking over the rest: p3 and p4 are replaced in place, nothing already owned is touched. A running borrowed
        // tunnel keeps its run (p3); one whose command the installed settings change is relaunched with them (p4).
        for (const char *id : {"p3", "p4"}) {
            state.start(id);
            h.runner.report(id, S::Connected);
        }
        Tunnel p4 = makeTunnel("p4");
        p4.host = "moved.test";
        p4.autostart = true;
        QVERIFY(Store::save({p1, makeTunnel("p3"), p4, installedOwn}, false));
        QCOMPARE(state.importFromProduction(), 2);
        QCOMPARE(QStringList({h.shown("p3"), h.shown("p4"), h.runner.started.last().host, h.t("own").name}),
                 QStringList({"connected", "connecting", "moved.test", "Tunnel own"}));
        QCOMPARE(tunnelIds(*Store::readTunnels(true)), QStringList({"own", "p1", "p3", "p4"}));
        QVERIFY(!h.t("p4").autostart);

        // Nothing left to take over: 0, nothing written.
        QFile::remove(Store::tunnelsPath(true));
        QVERIFY(state.importFromProduction() == 0 && !QFile::exists(Store::tunnelsPath(true)));
    }
};

QTEST_GUILESS_MAIN(TstAppState)
#include "tst_AppState.moc"
