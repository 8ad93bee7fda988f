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

Tunnel backed(const QString &id)
{
    return makeTunnel(id, TunnelType::Local, QStringLiteral("backup.test"));
}

Tunnel grouped(const QString &id, const QString &groupId)
{
    Tunnel t = makeTunnel(id);
    t.groupId = groupId;
    return t;
}

void bringUp(EngineHarness &h, const QString &id)
{
    h.runner.report(id, S::Connecting);
    h.runner.report(id, S::Connected);
}

// One failing run as ssh delivers it: a failed report for the deciding line, then another when the child exits.
void failTwice(EngineHarness &h, const QString &id, const QString &reason)
{
    h.runner.report(id, S::Failed, reason);
    h.runner.exitWith(id, reason);
}

// Advances by `ms`, checking that launch number `starts` of "a" happens exactly then, on `host`.
void expectLaunchAfter(EngineHarness &h, int ms, qsizetype starts, const char *host)
{
    h.clock.advance(ms - 1);
    QCOMPARE(h.runner.startsOf(a), starts - 1);
    h.clock.advance(1);
    QCOMPARE(h.runner.startsOf(a), starts);
    QCOMPARE(h.runner.started.last().host, QString::fromLatin1(host));
}

// An AppState on the real store in the temporary home (no lists handed in), a fake runner and a manual clock.
struct FileBackedState {
    FakeRunner runner;
    ManualClock clock;
    std::unique_ptr<AppState> state;
    explicit FileBackedState(bool dev)
    {
        AppStateOptions o;
        o.ssh = &runner;
        o.clock = &clock;
        o.dev = dev;
        o.resolveServer = [](const Tunnel &, std::function<void(std::optional<ServerAddress>)>) {};
        state = std::make_unique<AppState>(o);
    }
};

} // namespace

class TstAppState : public QObject {
    Q_OBJECT
    std::unique_ptr<TempHome> m_home;
private slots:
    void init() { m_home = std::make_unique<TempHome>(); }
    void cleanup() { m_home.reset(); }

    void creationStartsAutostartTunnelsInOrder()
    {
        Tunnel first = makeTunnel(a);
        Tunnel c = makeTunnel("c");
        first.autostart = c.autostart = true;
        EngineHarness h({first, makeTunnel(b), c});
        QCOMPARE(h.runner.calls, QStringList({"start a", "start c"}));
        QCOMPARE(h.shown("c"), "connecting");
        QVERIFY(h.persistedTunnels.isEmpty());
        // Command-line runs skip autostart.
        EngineHarness quiet({first, c}, {}, false);
        QVERIFY(quiet.runner.calls.isEmpty());
    }

    void lifecycle()
    {
        Tunnel socks = makeTunnel("s", TunnelType::Socks);
        socks.bind = "0.0.0.0";
        socks.bindPort = "1080";
        socks.autoSocksProxy = true;
        EngineHarness h({makeTunnel(a), socks});
        QStringList flashes;
        QObject::connect(h.state.get(), &AppState::flashChanged, h.state.get(),
                         [&](const QString &id, bool on) { flashes << id + (on ? "+" : "-"); });
        h.state->start(a);
        QCOMPARE(h.shown(a), "connecting");
        QVERIFY(h.state->wantsConnection(a));

        // Connected: uptime at least 1, a flash for 0.52 s; a second connected report does not reset the uptime, and a
        // flash re-inserted meanwhile ends with the first removal.
        bringUp(h, a);
        QCOMPARE(h.t(a).uptimeSec, 1);
        h.clock.advance(519);
        QVERIFY(h.state->flash().contains(a));
        h.clock.advance(1);
        QCOMPARE(flashes, QStringList({"a+", "a-"}));
        h.clock.advance(480);
        h.runner.report(a, S::Connected);
        QCOMPARE(h.t(a).uptimeSec, 2);
        h.clock.advance(300);
        h.runner.report(a, S::Connected);
        h.clock.advance(220);
        QVERIFY(!h.state->flash().contains(a));

        // SOCKS with auto proxy on the wildcard address points the proxy at loopback; failing switches it off.
        h.state->start("s");
        bringUp(h, "s");
        QVERIFY(h.proxy.calls.contains("enable s 127.0.0.1 1080"));
        h.runner.exitWith("s", "Connection closed");
        QCOMPARE(h.proxy.calls.last(), "disable s");
        QCOMPARE(h.t("s").uptimeSec, 0);

        // stop: idle, runner stopped, proxy off, run-time fields reset, log kept.
        h.runner.log(a, "debug1: kept");
        h.latencyRound(1.5);
        QCOMPARE(h.t(a).latencyMs, QList<double>({1.5}));
        h.state->stop(a);
        QCOMPARE(h.runner.calls.last(), "stop a");
        QCOMPARE(h.proxy.calls.last(), "disable a");
        QCOMPARE(h.shown(a), "idle");
        QVERIFY(h.t(a).uptimeSec == 0 && h.t(a).latencyMs.isEmpty());
        QVERIFY(!h.state->wantsConnection(a) && !h.state->everConnected(a));
        QCOMPARE(h.state->logs(a).size(), 1);

        // toggle: connecting stops, failed starts.
        h.state->toggle(a);
        QCOMPARE(h.shown(a), "connecting");
        h.state->toggle(a);
        QCOMPARE(h.shown(a), "idle");
        h.state->stop("s");
        h.state->start("s");
        h.runner.exitWith("s", refused);
        h.state->toggle("s");
        QCOMPARE(h.shown("s"), "connecting");
    }

    void reportsOfStoppedOrReplacedRunsAreDropped()
    {
        EngineHarness h({makeTunnel(a)});
        h.state->start(a);
        bringUp(h, a);
        const quint64 first = h.runner.runs.value(a);
        h.state->start(a);

        // What the replaced child said arrives after the new run began: none of it reaches the new run.
        h.runner.log(a, "last words of the old child", first);
        h.runner.reportFrom(first, a, S::Failed, "Disconnected");
        h.runner.reportFrom(first, a, S::Connected);
        QCOMPARE(h.shown(a), "connecting");
        QVERIFY(!h.state->hasPendingWork(a));
        QVERIFY(h.state->logs(a).isEmpty());
        h.runner.log(a, "new");
        h.runner.report(a, S::Connected);
        QCOMPARE(h.shown(a), "connected");
        QCOMPARE(h.state->logs(a).size(), 1);

        // After stop, late reports of the run are not heard, even with a child running under the id again.
        h.state->stop(a);
        h.runner.report(a, S::Failed, "late");
        h.runner.running.insert(a);
        h.runner.report(a, S::Connected);
        QCOMPARE(h.shown(a), "idle");
        QVERIFY(!h.state->hasPendingWork(a));
        h.clock.advance(60'000);
        QCOMPARE(h.runner.startsOf(a), 2);
    }

    void logKeepsFiveHundredLinesPerRun()
    {
        EngineHarness h({makeTunnel(a)});
        int appended = 0;
        int cleared = 0;
        QObject::connect(h.state.get(), &AppState::logAppended, h.state.get(), [&] { ++appended; });
        QObject::connect(h.state.get(), &AppState::logCleared, h.state.get(), [&] { ++cleared; });
        h.state->start(a);
        for (int i = 1; i <= 501; ++i)
            h.runner.log(a, QStringLiteral("line %1").arg(i));
        const QList<LogLine> log = h.state->logs(a);
        QCOMPARE(log.size(), 500);
        QCOMPARE(log.first().text, "line 2");
        QCOMPARE(log.last().text, "line 501");
        QCOMPARE(appended, 501);

        // Lines of a run the engine never started are not heard; every launch (here a reconnect) starts an empty log.
        h.runner.log("ghost", "x");
        QVERIFY(h.state->logs("ghost").isEmpty());
        bringUp(h, a);
        h.runner.exitWith(a, "dropped");
        h.clock.advance(1000);
        QCOMPARE(h.runner.startsOf(a), 2);
        QVERIFY(h.state->logs(a).isEmpty());
        QCOMPARE(cleared, 2);
    }

    void tickCountsUptimeAndProbesTheServer()
    {
        Tunnel backedB = backed(b);
        backedB.backupSshPort = "2222";
        EngineHarness h(
            {makeTunnel(a), backedB, makeTunnel("socks", TunnelType::Socks), makeTunnel("remote", TunnelType::Remote)});
        h.clock.advance(5000);
        QCOMPARE(h.state->probeCounter(), 0); // nothing connected: ticks do not count

        h.state->start(a);
        bringUp(h, a);
        QSignalSpy changed(h.state.get(), &AppState::tunnelChanged);
        QSignalSpy ticks(h.state.get(), &AppState::uptimeTicked);
        h.clock.advance(2000);
        QCOMPARE(h.t(a).uptimeSec, 3);
        QVERIFY(h.probes.isEmpty());
        // The tick announces the uptime once for all, not as a change of every connected tunnel.
        QCOMPARE(ticks.size(), 2);
        QCOMPARE(changed.size(), 0);

        // The third connected tick measures the SSH server the run connects to, never the tunnel's own listener; after
        // a failover the backup is measured; SOCKS and remote forwards are neither looked up nor probed.
        h.clock.advance(1000);
        QCOMPARE(h.probes.size(), 1);
        QCOMPARE(h.probes.at(0).host + ":" + QString::number(h.probes.at(0).port), "primary.test:22");
        h.state->start(b);
        h.runner.exitWith(b, refused);
        h.clock.advance(600);
        bringUp(h, b);
        for (const char *id : {"socks", "remote"}) {
            h.state->start(id);
            bringUp(h, id);
        }
        QCOMPARE(h.lookups.size(), 3);
        h.clock.advance(3000);
        QCOMPARE(h.probes.size(), 3);
        QCOMPARE(h.probes.at(2).host + ":" + QString::number(h.probes.at(2).port), "backup.test:2222");

        // Results: none leaves samples alone; 25 samples keep the last 24.
        h.probes.at(0).done(std::nullopt);
        QVERIFY(h.t(a).latencyMs.isEmpty());
        for (int i = 1; i <= 25; ++i)
            h.probes.at(1).done(double(i));
        QCOMPARE(h.t(a).latencyMs.size(), 24);
        QCOMPARE(h.t(a).latencyMs.first(), 2.0);

        // A result for an earlier run is dropped, even when the tunnel is connected again; leaving connected clears.
        h.state->start(b);
        bringUp(h, b);
        h.probes.at(2).done(3.0);
        QVERIFY(h.t(b).latencyMs.isEmpty());
        h.runner.report(a, S::Connecting);
        QVERIFY(h.t(a).latencyMs.isEmpty());

        // A server not known yet is not probed; a late answer for an earlier launch is not taken for the current one.
        EngineHarness held({makeTunnel(a)});
        held.holdLookups = true;
        held.state->start(a);
        held.state->start(a);
        bringUp(held, a);
        held.clock.advance(3000);
        held.heldLookups.at(0)(ServerAddress{"old.test", 22});
        held.clock.advance(3000);
        QVERIFY(held.probes.isEmpty());
        held.heldLookups.at(1)(ServerAddress{"new.test", 2200});
        held.clock.advance(3000);
        QCOMPARE(held.probes.size(), 1);
        QCOMPARE(held.probes.at(0).host, "new.test");
    }

    void glyphVariantAndActiveCount()
    {
        EngineHarness h({makeTunnel(a), makeTunnel(b)});
        QList<GlyphVariant> seen;
        QObject::connect(h.state.get(), &AppState::glyphVariantChanged, h.state.get(),
                         [&](GlyphVariant v) { seen << v; });
        QCOMPARE(h.state->glyphVariant(), GlyphVariant::None);
        h.state->start(a);
        bringUp(h, a);
        h.state->start(b);
        QCOMPARE(h.state->activeCount(), 1);
        h.runner.report(b, S::Connected);
        QCOMPARE(h.state->activeCount(), 2);
        h.runner.exitWith(b, "x");
        QCOMPARE(seen, QList<GlyphVariant>({GlyphVariant::Connecting, GlyphVariant::One, GlyphVariant::Connecting,
                                            GlyphVariant::Several, GlyphVariant::One}));
    }

    void firstStartFailsOverToBackupOnce()
    {
        Tunnel t = backed(a);
        t.backupSshPort = "2222";
        EngineHarness h({t});
        h.state->start(a);
        failTwice(h, a, refused); // the repeat of a failing run's report changes nothing
        QCOMPARE(h.shown(a), toBackup);
        QCOMPARE(h.t(a).activeHostIndex, 1);
        expectLaunchAfter(h, 600, 2, "backup.test");
        QCOMPARE(h.runner.started.last().sshPort, "2222");
        h.runner.report(a, S::Connecting); // the runner's report of the launch keeps the launch's reason
        QCOMPARE(h.shown(a), "connecting: Connecting via backup…");
        QCOMPARE(h.state->triedHosts(a), QSet<int>({0, 1}));

        // The backup fails too: never connected, so it stays failed with the runner's reason.
        h.runner.exitWith(a, "Host key verification failed");
        QCOMPARE(h.shown(a), "failed: Host key verification failed");
        h.clock.advance(120'000);
        QCOMPARE(h.runner.startsOf(a), 2);

        // A backup of spaces and tabs is no backup.
        EngineHarness blank({makeTunnel(a, TunnelType::Local, " \t ")});
        blank.state->start(a);
        blank.runner.exitWith(a, refused);
        QCOMPARE(blank.shown(a), "failed: " + refused);
        QVERIFY(!blank.state->hasPendingWork(a));
    }

    void cycleAfterConnectionTriesBackupThenPrimaryThenReconnects()
    {
        // Every failing run reports twice, as ssh delivers it: the repeat must not turn a failover into a failover back
        // or a reconnect, or a dead primary would be the only server ever tried.
        EngineHarness h({backed(a)});
        h.state->start(a);
        bringUp(h, a);
        failTwice(h, a, "Connection closed");
        QCOMPARE(h.shown(a), toBackup);
        expectLaunchAfter(h, 600, 2, "backup.test");
        failTwice(h, a, refused);
        QCOMPARE(h.shown(a), toPrimary);
        expectLaunchAfter(h, 600, 3, "primary.test");
        failTwice(h, a, refused);
        QCOMPARE(h.shown(a), "failed: Reconnecting in 1s (1/6)");
        expectLaunchAfter(h, 1000, 4, "primary.test");
        // The new cycle fails over again before the next attempt.
        failTwice(h, a, refused);
        QCOMPARE(h.shown(a), toBackup);
        QCOMPARE(h.state->reconnectAttempts(a), 1);
        expectLaunchAfter(h, 600, 5, "backup.test");

        // Connected on the backup it stays there; when it drops, the other server is the primary.
        bringUp(h, a);
        QCOMPARE(h.t(a).activeHostIndex, 1);
        QCOMPARE(h.state->reconnectAttempts(a), 0);
        failTwice(h, a, "Disconnected");
        QCOMPARE(h.shown(a), toPrimary);
        expectLaunchAfter(h, 600, 6, "primary.test");
    }

    void backOffGivesUpAfterSixAttempts()
    {
        EngineHarness h({makeTunnel(a)});
        QSignalSpy gaveUp(h.state.get(), &AppState::gaveUp);
        h.state->start(a);
        bringUp(h, a);
        const QList<int> delays{1, 2, 4, 8, 16, 30};
        for (int attempt = 1; attempt <= 6; ++attempt) {
            const int delay = delays.at(attempt - 1);
            failTwice(h, a, "fail"); // one failing run, one attempt
            QCOMPARE(h.shown(a), QStringLiteral("failed: Reconnecting in %1s (%2/6)").arg(delay).arg(attempt));
            expectLaunchAfter(h, delay * 1000, attempt + 1, "primary.test");
        }
        h.runner.exitWith(a, "last reason");
        QCOMPARE(gaveUp.size(), 1);
        QCOMPARE(h.shown(a), "failed: last reason");
        QVERIFY(!h.state->wantsConnection(a));
        h.clock.advance(600'000);
        QCOMPARE(h.runner.startsOf(a), 7);
        // A later report for the given-up tunnel is not wanted any more: nothing happens.
        h.runner.running.insert(a);
        h.runner.report(a, S::Failed, "again");
        QVERIFY(!h.state->hasPendingWork(a));

        // A success resets the count; autoreconnect off never reconnects.
        h.state->start(a);
        bringUp(h, a);
        h.runner.exitWith(a, "x");
        h.clock.advance(1000);
        bringUp(h, a);
        QCOMPARE(h.state->reconnectAttempts(a), 0);
        Tunnel manual = makeTunnel(a);
        manual.autoreconnect = false;
        EngineHarness off({manual});
        off.state->start(a);
        bringUp(off, a);
        off.runner.exitWith(a, "closed");
        QCOMPARE(off.shown(a), "failed: closed");
        QVERIFY(!off.state->hasPendingWork(a));
    }

    void pendingWorkIsCancelledByStopStartAndConnect()
    {
        EngineHarness h({backed(a), makeTunnel(b)});
        // stop while a failover is pending: nothing launches.
        h.state->start(a);
        h.runner.exitWith(a, refused);
        QVERIFY(h.state->hasPendingWork(a));
        h.state->stop(a);
        h.clock.advance(10'000);
        QCOMPARE(h.runner.startsOf(a), 1);

        // start while a reconnect is pending: launches at once on the primary with the count at 0; nothing fires later.
        h.state->start(a);
        bringUp(h, a);
        for (int i = 0; i < 3; ++i) {
            h.runner.exitWith(a, "closed");
            h.clock.advance(i < 2 ? 600 : 0);
        }
        QCOMPARE(h.state->reconnectAttempts(a), 1);
        h.state->start(a);
        QCOMPARE(h.runner.startsOf(a), 5);
        QCOMPARE(h.runner.started.last().host, "primary.test");
        QCOMPARE(h.state->reconnectAttempts(a), 0);
        h.clock.advance(60'000);
        QCOMPARE(h.runner.startsOf(a), 5);

        // A run that reported a failure and then connected after all (ssh tried the next address): the failover or
        // reconnect it scheduled must not replace the working session, which stays on the server it is really on.
        h.state->start(a);
        h.runner.report(a, S::Failed, refused);
        QVERIFY(h.state->hasPendingWork(a));
        h.runner.report(a, S::Connected);
        QCOMPARE(h.t(a).activeHostIndex, 0);
        h.state->start(b);
        bringUp(h, b);
        h.runner.report(b, S::Failed, "Disconnected");
        QVERIFY(h.state->hasPendingWork(b));
        h.runner.report(b, S::Connected);
        h.clock.advance(60'000);
        QCOMPARE(h.runner.startsOf(a), 6);
        QCOMPARE(h.runner.startsOf(b), 1);
        QCOMPARE(h.shown(a), "connected");

        // Connected in an earlier run does not count after a new start: the new run's failure is not reconnected.
        h.state->start(b);
        h.runner.exitWith(b, "Permission denied");
        QCOMPARE(h.shown(b), "failed: Permission denied");
        QVERIFY(!h.state->hasPendingWork(b));
    }

    void headlessKeeperRetriesBeforeTheFirstConnect()
    {
        // Never giving up: a server that is not up yet is tried again and again, the wait capped at 30 s.
        EngineHarness h({});
        AppStateOptions keeper = h.options(QList<Tunnel>{makeTunnel(a)}, std::nullopt, false);
        keeper.retryBeforeFirstConnect = true;
        keeper.maxReconnectAttempts = 0;
        int gaveUp = 0;
        const auto restart = [&] {
            h.state = std::make_unique<AppState>(keeper);
            QObject::connect(h.state.get(), &AppState::gaveUp, h.state.get(), [&] { ++gaveUp; });
            h.state->start(a);
        };
        restart();
        const QList<int> delays{1, 2, 4, 8, 16, 30, 30};
        for (int attempt = 1; attempt <= delays.size(); ++attempt) {
            failTwice(h, a, refused);
            const int delay = delays.at(attempt - 1);
            QCOMPARE(h.shown(a), QStringLiteral("failed: Reconnecting in %1s (attempt %2)").arg(delay).arg(attempt));
            expectLaunchAfter(h, delay * 1000, attempt + 1, "primary.test");
        }
        bringUp(h, a);
        QCOMPARE(h.state->reconnectAttempts(a), 0);

        // With a limit: gives up after it, and says so once.
        keeper.maxReconnectAttempts = 2;
        restart();
        const qsizetype before = h.runner.startsOf(a);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            h.runner.exitWith(a, refused);
            QCOMPARE(h.shown(a), QStringLiteral("failed: Reconnecting in %1s (%1/2)").arg(attempt));
            h.clock.advance(attempt * 1000);
        }
        QCOMPARE(gaveUp, 0);
        h.runner.exitWith(a, refused);
        QCOMPARE(h.runner.startsOf(a), before + 2);
        QCOMPARE(gaveUp, 1);
        QVERIFY(!h.state->wantsConnection(a));

        // The tray app's rule stays: a tunnel that never connected is left failed, which is giving up too.
        EngineHarness tray({makeTunnel(a)});
        QSignalSpy trayGaveUp(tray.state.get(), &AppState::gaveUp);
        tray.state->start(a);
        tray.runner.exitWith(a, refused);
        QCOMPARE(tray.shown(a), "failed: " + refused);
        QCOMPARE(trayGaveUp.size(), 1);
    }

    // The state lines the system log promises, in one place; the behaviour itself is checked through state above.
    void stateLogLinesKeepTheirFormats()
    {
        LogCapture log;
        EngineHarness h({backed(a)});
        h.state->start(a);
        bringUp(h, a);
        h.runner.exitWith(a, "Connection closed");
        h.clock.advance(600);
        h.runner.exitWith(a, refused);
        h.clock.advance(600);
        h.runner.exitWith(a, refused);
        h.state->importTunnels({makeTunnel(a), makeTunnel(b)});
        const QStringList lines = log.messages(Log::Category::State);
        for (const char *line :
             {"launch: 1 tunnels (loaded), 0 borrowed", "connect a (L) via primary", "failover a → backup",
              "connect a (L) via backup", "failover a → primary", "auto-reconnect a in 1s (attempt 1)",
              "imported 1 of 2 tunnels from ssh config", "persisted 2 tunnels, 0 groups"})
            QVERIFY2(lines.contains(QString::fromUtf8(line)), line);
    }

    void reportsAfterDestructionAreDropped()
    {
        EngineHarness h({backed(a)});
        h.state->start(a);
        h.runner.report(a, S::Connected); // flash pending
        h.runner.exitWith(a, refused);    // failover pending
        h.state->start(a);
        h.state.reset();
        h.clock.advance(60'000);
        h.runner.report(a, S::Connected);
        h.runner.log(a, "late");
        QCOMPARE(h.runner.startsOf(a), 2);
    }

    void saveNewAndEdited()
    {
        UserDefaults defaults(m_home->path() + "/defaults.json");
        EngineHarness h({makeTunnel("up"), makeTunnel("down")});
        QSignalSpy listChanges(h.state.get(), &AppState::tunnelsChanged);

        // Only a blank host is refused; a new tunnel is saved, not started, even with autostart.
        TunnelForm form;
        form.host = " \n\t";
        QVERIFY(!h.state->save(form, std::nullopt));
        QVERIFY(h.persistedTunnels.isEmpty());
        form.host = "db";
        form.name = "  ";
        form.autostart = true;
        QVERIFY(h.state->save(form, std::nullopt));
        const Tunnel made = h.state->tunnels().last();
        QVERIFY(QRegularExpression("^new-[0-9A-F]{6}$").match(made.id).hasMatch());
        QCOMPARE(made.name, "db");
        QVERIFY(h.runner.calls.isEmpty());
        QCOMPARE(tunnelIds(h.persistedTunnels.last()), QStringList({"up", "down", made.id}));
        QCOMPARE(listChanges.size(), 1);

        // Editing a connected tunnel relaunches it with the new settings and a fresh log.
        h.state->start("up");
        h.runner.report("up", S::Connected);
        h.runner.log("up", "old run");
        TunnelForm edit = TunnelForm::from(h.t("up"), defaults);
        edit.host = "new.test";
        QVERIFY(h.state->save(edit, "up"));
        QCOMPARE(h.shown("up"), "connecting");
        QCOMPARE(h.runner.started.last().host, "new.test");
        QVERIFY(h.state->logs("up").isEmpty());
        QCOMPARE(h.persistedTunnels.last().at(0).host, "new.test");

        // Editing a failed one keeps it failed; an empty name falls back to the host as typed.
        h.state->start("down");
        h.runner.exitWith("down", "refused");
        TunnelForm editDown = TunnelForm::from(h.t("down"), defaults);
        editDown.name.clear();
        editDown.host = " h2 ";
        QVERIFY(h.state->save(editDown, "down"));
        QCOMPARE(h.shown("down"), "failed: refused");
        QCOMPARE(h.t("down").name, " h2 ");
        QCOMPARE(h.runner.startsOf("down"), 1);

        // An editing id that no longer exists makes a new tunnel.
        QVERIFY(h.state->save(form, "gone"));
        QCOMPARE(h.state->tunnels().size(), 4);
    }

    void deleteStopsARunningTunnelFirst()
    {
        Tunnel socks = makeTunnel("s", TunnelType::Socks, "backup.test");
        socks.autoSocksProxy = true;
        EngineHarness h({makeTunnel(b), socks});
        h.state->start("s");
        h.runner.report("s", S::Connected);         // flashing
        h.runner.report("s", S::Failed, "dropped"); // failover pending
        h.runner.log("s", "line");

        // Observers are told about the removal with the list already as it will be: the deleted tunnel is not found,
        // the others are found where they are.
        QStringList seen;
        const auto look = [&](const QString &id) {
            const Tunnel *gone = h.state->tunnel(id);
            const Tunnel *other = h.state->tunnel(b);
            seen << QStringLiteral("%1 %2").arg(gone ? gone->id : "-", other ? other->id : "-");
        };
        QObject::connect(h.state.get(), &AppState::logCleared, h.state.get(), look);
        QObject::connect(h.state.get(), &AppState::flashChanged, h.state.get(), [&](const QString &id) { look(id); });
        h.state->deleteTunnel("s");
        QCOMPARE(seen, QStringList({"- b", "- b"}));
        QCOMPARE(h.runner.calls.last(), "stop s");
        QCOMPARE(h.proxy.calls.last(), "disable s");
        QVERIFY(!h.state->wantsConnection("s") && !h.state->hasPendingWork("s"));
        QVERIFY(h.state->logs("s").isEmpty());
        QCOMPARE(tunnelIds(h.persistedTunnels.last()), QStringList({"b"}));
        h.clock.advance(60'000);
        QCOMPARE(h.runner.startsOf("s"), 1);

        // An unknown id still stops a child of that id and writes the files.
        h.state->deleteTunnel("ghost");
        QCOMPARE(h.runner.calls.last(), "stop ghost");
        QCOMPARE(h.persistedTunnels.size(), 2);
    }

    void duplicateAndGroups()
    {
        const QString g = QStringLiteral("g");
        Tunnel api = grouped("prod-api", g);
        api.name = "Prod API";
        api.autostart = true;
        EngineHarness h({api, grouped(b, "g2"), grouped("c", g)}, {{g, "One", 3}, {"g2", "Two", 7}});
        h.runner.report(api.id, S::Connected);
        h.latencyRound(4.5);

        // A copy goes right below, idle, with the original's settings and samples.
        h.state->duplicate(api.id);
        const Tunnel copy = h.state->tunnels().at(1);
        QVERIFY(QRegularExpression("^prod-api-copy-[0-9A-F]{6}$").match(copy.id).hasMatch());
        QCOMPARE(copy.name, "Prod API copy");
        QCOMPARE(copy.status, S::Idle);
        QCOMPARE(copy.groupId, g);
        QCOMPARE(copy.latencyMs, QList<double>({4.5}));
        QCOMPARE(tunnelIds(h.persistedTunnels.last()), QStringList({"prod-api", copy.id, "b", "c"}));
        h.state->duplicate("ghost");
        QCOMPARE(h.persistedTunnels.size(), 1);

        // Group state: some on starts the rest; all on stops every one, nothing outside the group.
        h.state->start("c");
        h.runner.exitWith("c", "refused");
        QCOMPARE(h.state->groupState(g), GroupToggleState::Some);
        h.runner.calls.clear();
        h.state->toggleGroup(g);
        QCOMPARE(h.state->groupState(g), GroupToggleState::All);
        h.state->toggleGroup(g);
        QCOMPARE(h.runner.calls,
                 QStringList({"start " + copy.id, "start c", "stop prod-api", "stop " + copy.id, "stop c"}));
        QCOMPARE(h.state->groupState(g), GroupToggleState::None);

        // Adding trims and orders after the last; a blank name is refused.
        QSignalSpy groupChanges(h.state.get(), &AppState::groupsChanged);
        QCOMPARE(h.state->addGroup(" \n "), std::nullopt);
        const std::optional<QString> id = h.state->addGroup("  Ops \n");
        QVERIFY(id && QRegularExpression("^grp-[0-9A-F]{6}$").match(*id).hasMatch());
        QCOMPARE(h.state->groups().last(), (TunnelGroup{*id, "Ops", 8}));
        QCOMPARE(h.persistedGroups.last(), h.state->groups());

        // Rename trims; a blank name or an unknown id changes and writes nothing (nor does deleting an unknown group).
        const qsizetype writes = h.persistedGroups.size();
        h.state->renameGroup("g2", "  Second  ");
        h.state->renameGroup("g2", "   ");
        h.state->renameGroup("nope", "X");
        h.state->deleteGroup("nope");
        QCOMPARE(h.state->groups().at(1).name, "Second");
        QCOMPARE(h.persistedGroups.size(), writes + 1);

        // Deleting a group keeps its tunnels, ungrouped.
        h.state->deleteGroup(g);
        QCOMPARE(h.state->tunnels().size(), 4);
        QCOMPARE(h.t("c").groupId, std::nullopt);
        QCOMPARE(h.t(b).groupId, "g2");
        QCOMPARE(h.persistedTunnels.last().at(0).groupId, std::nullopt);
        QCOMPARE(groupChanges.size(), 3);
    }

    void importTunnelsSkipsKnownIds()
    {
        EngineHarness h({makeTunnel(a)});
        Tunnel dup = makeTunnel(a);
        dup.name = "other";
        Tunnel fresh = makeTunnel("new");
        fresh.status = S::Connected;
        fresh.reason = "stale";
        fresh.uptimeSec = 9;
        fresh.autostart = true;
        QCOMPARE(h.state->importTunnels({dup, fresh, fresh}), 2);
        QCOMPARE(tunnelIds(h.state->tunnels()), QStringList({"a", "new", "new"}));
        QCOMPARE(h.t(a).name, "Tunnel a");
        QCOMPARE(h.shown("new"), "idle");
        QCOMPARE(h.t("new").uptimeSec, 0);
        QVERIFY(h.runner.calls.isEmpty());
        QCOMPARE(h.persistedTunnels.size(), 1);
        QCOMPARE(h.state->importTunnels({dup}), 0);
        QCOMPARE(h.persistedTunnels.size(), 1);
        // Outside the development build there is nothing to take over.
        QCOMPARE(h.state->importFromProduction(), 0);
    }

    void everyOperationRewritesBothFiles()
    {
        FileBackedState f(false);
        AppState &state = *f.state;
        QVERIFY(f.runner.calls.isEmpty()); // the samples of a first launch wait for the user to switch them on
        QVERIFY(!QFile::exists(Store::tunnelsPath(false)));

        // Each step removes both files first; they run in order, each on what the one before made.
        TunnelForm form;
        form.host = "db";
        QString made;
        std::optional<QString> gid;
        const QList<std::pair<const char *, std::function<void()>>> operations{
            {"save",
             [&] {
                 state.save(form, std::nullopt);
                 made = state.tunnels().last().id;
             }},
            {"addGroup", [&] { gid = state.addGroup("Ops"); }},
            {"renameGroup", [&] { state.renameGroup(*gid, "Ops 2"); }},
            {"save edit",
             [&] {
                 form.groupId = gid;
                 state.save(form, made);
             }},
            {"duplicate", [&] { state.duplicate(made); }},
            {"deleteGroup", [&] { state.deleteGroup(*gid); }},
            {"delete", [&] { state.deleteTunnel(made); }},
            {"importTunnels", [&] { state.importTunnels({makeTunnel("imp")}); }}};
        for (const auto &[what, operation] : operations) {
            QFile::remove(Store::tunnelsPath(false));
            QFile::remove(Store::groupsPath(false));
            operation();
            QVERIFY2(QFile::exists(Store::tunnelsPath(false)) && QFile::exists(Store::groupsPath(false)), what);
            const Store::LoadResult disk = Store::load(std::nullopt, std::nullopt, false);
            QCOMPARE(tunnelIds(disk.tunnels), tunnelIds(state.tunnels()));
            QCOMPARE(disk.groups, state.groups());
        }
        QCOMPARE(state.tunnels().size(), 6); // the four samples, one saved, one copied, one deleted, one imported
    }

    void borrowedTunnelsAreWrittenOnlyOnceAdopted()
    {
        Tunnel p1 = makeTunnel("p1");
        p1.autostart = true;
        Tunnel installedOwn = makeTunnel("own");
        installedOwn.name = "installed copy";
        QVERIFY(Store::save({makeTunnel("own")}, true));
        QVERIFY(Store::save({p1, makeTunnel("p3"), makeTunnel("p4"), installedOwn}, false));

        FileBackedState f(true);
        AppState &state = *f.state;
        QCOMPARE(tunnelIds(state.tunnels()), QStringList({"own", "p1", "p3", "p4"}));
        QVERIFY(state.isBorrowed("p1"));
        QVERIFY(f.runner.calls.isEmpty()); // borrowed tunnels never autostart
        QCOMPARE(state.tunnel("own")->name, "Tunnel own");

        // A change to another tunnel writes only the build's own.
        state.duplicate("own");
        QCOMPARE(Store::readTunnels(true)->size(), 2);
        state.deleteTunnel(state.tunnels().at(1).id);
        QCOMPARE(tunnelIds(*Store::readTunnels(true)), QStringList({"own"}));

        // Saving a borrowed tunnel from the editor adopts it.
        UserDefaults defaults(m_home->path() + "/defaults.json");
        QVERIFY(state.save(TunnelForm::from(*state.tunnel("p1"), defaults), "p1"));
        QVERIFY(!state.isBorrowed("p1"));
        QCOMPARE(tunnelIds(*Store::readTunnels(true)), QStringList({"own", "p1"}));

        // Taking over the rest: p3 and p4 are replaced in place, nothing already owned is touched. A running borrowed
        // tunnel keeps its run (p3); one whose command the installed settings change is relaunched with them (p4).
        for (const char *id : {"p3", "p4"}) {
            state.start(id);
            f.runner.report(id, S::Connected);
        }
        Tunnel p4 = makeTunnel("p4");
        p4.host = "moved.test";
        QVERIFY(Store::save({p1, makeTunnel("p3"), p4, installedOwn}, false));
        QCOMPARE(state.importFromProduction(), 2);
        QCOMPARE(state.tunnel("p3")->status, S::Connected);
        QCOMPARE(f.runner.startsOf("p3"), 1);
        QCOMPARE(state.tunnel("p4")->status, S::Connecting);
        QCOMPARE(f.runner.started.last().host, "moved.test");
        QVERIFY(state.borrowedIds().isEmpty());
        QCOMPARE(tunnelIds(*Store::readTunnels(true)), QStringList({"own", "p1", "p3", "p4"}));
        QVERIFY(!state.tunnel("p3")->autostart);
        QCOMPARE(state.tunnel("own")->name, "Tunnel own");

        // Nothing left to take over: 0, nothing written.
        QFile::remove(Store::tunnelsPath(true));
        QCOMPARE(state.importFromProduction(), 0);
        QVERIFY(!QFile::exists(Store::tunnelsPath(true)));
    }
};

QTEST_GUILESS_MAIN(TstAppState)
#include "tst_AppState.moc"
