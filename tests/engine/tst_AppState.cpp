#include "engine/EngineHarness.h"
#include "support/LogCapture.h"
#include "support/TempHome.h"

#include <QtTest>

using S = TunnelStatus;

namespace {

const QString a = QStringLiteral("a");
const QString primaryDown = QStringLiteral("Connection refused");
const QString toBackup = QStringLiteral("Primary unreachable — trying backup…");
const QString toPrimary = QStringLiteral("Backup unreachable — trying primary…");

Tunnel backed(const QString &id)
{
    return makeTunnel(id, TunnelType::Local, QStringLiteral("backup.test"));
}

// Brings a started tunnel to connected.
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

// Advances by `ms`, then checks the launch count and the host of the last launch.
void expectLaunchAfter(EngineHarness &h, int ms, qsizetype starts, const char *host)
{
    h.clock.advance(ms - 1);
    QCOMPARE(h.runner.startsOf(a), starts - 1);
    h.clock.advance(1);
    QCOMPARE(h.runner.startsOf(a), starts);
    QCOMPARE(h.runner.started.last().host, QString::fromLatin1(host));
}

} // namespace

class TstAppState : public QObject {
    Q_OBJECT
private slots:
    void creationStartsAutostartTunnelsInOrder();
    void lifecycleTable();
    void staleReportsAfterStopAreDropped();
    void reportsOfAReplacedRunAreDropped();
    void logKeepsFiveHundredLinesPerRun();
    void tickCountsUptimeAndProbesEveryThirdConnectedTick();
    void glyphVariantAndActiveCount();
    void firstStartFailsOverToBackupOnce();
    void cycleAfterConnectionTriesBackupThenPrimaryThenReconnects();
    void backOffGivesUpAfterSixAttempts();
    void repeatedFailedReportOfOneRun();
    void pendingWorkAndStopStart();
    void connectingCancelsPendingWorkAndCountsFromStart();
    void headlessKeeperRetriesBeforeTheFirstConnect();
    void reportsAfterDestructionAreDropped();
};

void TstAppState::creationStartsAutostartTunnelsInOrder()
{
    TempHome home;
    LogCapture log;
    Tunnel first = makeTunnel(a);
    Tunnel c = makeTunnel(QStringLiteral("c"));
    first.autostart = c.autostart = true;
    EngineHarness h({first, makeTunnel(QStringLiteral("b"), TunnelType::Socks), c});

    QCOMPARE(h.runner.calls, QStringList({QStringLiteral("start a"), QStringLiteral("start c")}));
    QCOMPARE(h.t(QStringLiteral("b")).status, S::Idle);
    QCOMPARE(h.t(QStringLiteral("c")).status, S::Connecting);
    QCOMPARE(h.state->glyphVariant(), GlyphVariant::Connecting);
    QVERIFY(h.persistedTunnels.isEmpty());
    QCOMPARE(log.messages(Log::Category::State).mid(0, 3),
             QStringList(
                 {"launch: 3 tunnels (loaded), 0 borrowed", "connect a (L) via primary", "connect c (L) via primary"}));

    // Command-line runs skip autostart; the one-second tick is scheduled either way.
    EngineHarness quiet({first, c}, {}, false);
    QVERIFY(quiet.runner.calls.isEmpty());
    QCOMPARE(quiet.clock.pendingCount(), 1);
}

void TstAppState::lifecycleTable()
{
    TempHome home;
    Tunnel socks = makeTunnel(QStringLiteral("s"), TunnelType::Socks);
    socks.bind = QStringLiteral("0.0.0.0");
    socks.bindPort = QStringLiteral("1080");
    socks.autoSocksProxy = true;
    EngineHarness h({makeTunnel(a), socks});
    const QString s = QStringLiteral("s");
    QStringList flashes;
    QObject::connect(h.state.get(), &AppState::flashChanged, h.state.get(),
                     [&](const QString &id, bool on) { flashes << id + (on ? "+" : "-"); });

    // start: connecting, wanted, attempts 0, tried {primary}.
    h.state->start(a);
    QCOMPARE(h.t(a).status, S::Connecting);
    QVERIFY(h.state->wantsConnection(a));
    QCOMPARE(h.state->reconnectAttempts(a), 0);
    QCOMPARE(h.state->triedHosts(a), QSet<int>({0}));

    // connected: uptime at least 1, ever connected, tried set emptied, flash for 0.52 s; a second connected report
    // does not reset the uptime.
    bringUp(h, a);
    QCOMPARE(h.t(a).uptimeSec, 1);
    QVERIFY(h.state->everConnected(a));
    QVERIFY(h.state->triedHosts(a).isEmpty());
    h.clock.advance(519);
    QVERIFY(h.state->flash().contains(a));
    h.clock.advance(1);
    QCOMPARE(flashes, QStringList({"a+", "a-"}));
    h.clock.advance(480); // the first tick
    h.runner.report(a, S::Connected);
    QCOMPARE(h.t(a).uptimeSec, 2);

    // A flash re-inserted within 0.52 s ends with the first removal.
    h.runner.report(a, S::Connected);
    h.clock.advance(300);
    h.runner.report(a, S::Connected);
    h.clock.advance(220);
    QVERIFY(!h.state->flash().contains(a));

    // SOCKS with auto proxy on the wildcard address points the proxy at loopback; failed switches it off.
    h.state->start(s);
    bringUp(h, s);
    QVERIFY(h.proxy.calls.contains(QStringLiteral("enable s 127.0.0.1 1080")));
    h.proxy.calls.clear();
    h.runner.exitWith(s, QStringLiteral("Connection closed"));
    QCOMPARE(h.proxy.calls, QStringList({QStringLiteral("disable s")}));
    QCOMPARE(h.t(s).status, S::Failed);
    QCOMPARE(h.t(s).uptimeSec, 0);

    // stop: idle, bookkeeping gone, runner stopped, proxy off, run-time fields reset, log kept.
    h.runner.log(a, QStringLiteral("debug1: kept"));
    h.latencyRound(1.5);
    QCOMPARE(h.t(a).latencyMs, QList<double>({1.5}));
    h.proxy.calls.clear();
    h.state->stop(a);
    QCOMPARE(h.runner.calls.last(), QStringLiteral("stop a"));
    QCOMPARE(h.proxy.calls, QStringList({QStringLiteral("disable a")}));
    QCOMPARE(h.t(a).status, S::Idle);
    QCOMPARE(h.t(a).reason, std::nullopt);
    QCOMPARE(h.t(a).uptimeSec, 0);
    QVERIFY(h.t(a).latencyMs.isEmpty());
    QVERIFY(!h.state->wantsConnection(a));
    QVERIFY(!h.state->everConnected(a));
    QCOMPARE(h.state->logs(a).size(), 1);

    // toggle: connecting stops, failed starts from the primary.
    h.state->toggle(a);
    QCOMPARE(h.t(a).status, S::Connecting);
    h.state->toggle(a);
    QCOMPARE(h.t(a).status, S::Idle);
    h.state->stop(s);
    h.state->start(s);
    h.runner.exitWith(s, primaryDown);
    QCOMPARE(h.t(s).reason, primaryDown);
    h.state->toggle(s);
    QCOMPARE(h.t(s).status, S::Connecting);
    QCOMPARE(h.t(s).activeHostIndex, 0);

    // Unknown ids: stop does nothing at all; start still marks the id wanted.
    const qsizetype calls = h.runner.calls.size();
    h.state->stop(QStringLiteral("ghost"));
    h.state->start(QStringLiteral("ghost"));
    QCOMPARE(h.runner.calls.size(), calls);
    QVERIFY(h.state->wantsConnection(QStringLiteral("ghost")));
}

void TstAppState::staleReportsAfterStopAreDropped()
{
    TempHome home;
    EngineHarness h({makeTunnel(a)});
    h.state->start(a);
    bringUp(h, a);
    h.state->stop(a);

    h.runner.report(a, S::Connected);
    QCOMPARE(h.t(a).status, S::Idle);
    h.runner.report(a, S::Failed, QStringLiteral("late"));
    QCOMPARE(h.t(a).status, S::Idle);
    QCOMPARE(h.t(a).reason, std::nullopt);
    QVERIFY(!h.state->hasPendingWork(a));
    h.clock.advance(60'000);
    QCOMPARE(h.runner.startsOf(a), 1);

    // Even with a child running under the id again, the stopped run stays unheard.
    h.runner.running.insert(a);
    h.runner.report(a, S::Connected);
    QCOMPARE(h.t(a).status, S::Idle);
}

void TstAppState::reportsOfAReplacedRunAreDropped()
{
    TempHome home;
    EngineHarness h({makeTunnel(a)});
    h.state->start(a);
    bringUp(h, a);
    const quint64 first = h.runner.runs.value(a);
    h.state->start(a);
    QVERIFY(h.runner.runs.value(a) > first);

    // What the replaced child said arrives after the new run began: none of it reaches the new run.
    h.runner.log(a, QStringLiteral("last words of the old child"), first);
    h.runner.reportFrom(first, a, S::Failed, QStringLiteral("Disconnected"));
    h.runner.reportFrom(first, a, S::Connected);
    QCOMPARE(h.t(a).status, S::Connecting);
    QCOMPARE(h.t(a).reason, std::nullopt);
    QVERIFY(!h.state->hasPendingWork(a));
    QVERIFY(h.state->logs(a).isEmpty());

    h.runner.log(a, QStringLiteral("new"));
    h.runner.report(a, S::Connected);
    QCOMPARE(h.t(a).status, S::Connected);
    QCOMPARE(h.state->logs(a).size(), 1);
}

void TstAppState::logKeepsFiveHundredLinesPerRun()
{
    TempHome home;
    EngineHarness h({makeTunnel(a)});
    int appended = 0;
    int cleared = 0;
    QObject::connect(h.state.get(), &AppState::logAppended, h.state.get(),
                     [&](const QString &, const LogLine &) { ++appended; });
    QObject::connect(h.state.get(), &AppState::logCleared, h.state.get(), [&](const QString &) { ++cleared; });

    h.state->start(a);
    for (int i = 1; i <= 501; ++i)
        h.runner.log(a, QStringLiteral("line %1").arg(i));
    const QList<LogLine> log = h.state->logs(a);
    QCOMPARE(log.size(), 500);
    QCOMPARE(log.first().text, QStringLiteral("line 2"));
    QCOMPARE(log.last().text, QStringLiteral("line 501"));
    QCOMPARE(appended, 501);

    // Lines of a run the engine never started are not heard; every launch (here a reconnect) starts an empty log.
    h.runner.log(QStringLiteral("ghost"), QStringLiteral("x"));
    QCOMPARE(h.state->logs(QStringLiteral("ghost")).size(), 0);
    bringUp(h, a);
    h.runner.exitWith(a, QStringLiteral("dropped"));
    h.clock.advance(1000);
    QCOMPARE(h.runner.startsOf(a), 2);
    QVERIFY(h.state->logs(a).isEmpty());
    QCOMPARE(cleared, 2);
}

void TstAppState::tickCountsUptimeAndProbesEveryThirdConnectedTick()
{
    TempHome home;
    Tunnel b = backed(QStringLiteral("b"));
    b.backupSshPort = QStringLiteral("2222");
    EngineHarness h({makeTunnel(a), b, makeTunnel(QStringLiteral("socks"), TunnelType::Socks),
                     makeTunnel(QStringLiteral("remote"), TunnelType::Remote)});

    // Nothing connected: ticks do not count.
    h.clock.advance(5000);
    QCOMPARE(h.state->probeCounter(), 0);

    h.state->start(a);
    bringUp(h, a);
    QStringList changed;
    int ticks = 0;
    QObject::connect(h.state.get(), &AppState::tunnelChanged, h.state.get(), [&](const QString &id) { changed << id; });
    QObject::connect(h.state.get(), &AppState::uptimeTicked, h.state.get(), [&] { ++ticks; });
    h.clock.advance(2000);
    QCOMPARE(h.t(a).uptimeSec, 3);
    QVERIFY(h.probes.isEmpty());
    // The tick announces the uptime once for all, not as a change of every connected tunnel.
    QCOMPARE(ticks, 2);
    QVERIFY(changed.isEmpty());

    // The third connected tick measures the SSH server the run connects to (as looked up at launch), never the
    // tunnel's own listener.
    h.clock.advance(1000);
    QCOMPARE(h.probes.size(), 1);
    QCOMPARE(h.probes.at(0).host, QStringLiteral("primary.test"));
    QCOMPARE(h.probes.at(0).port, quint16(22));
    QCOMPARE(h.probes.at(0).timeoutSec, 2.0);

    // After a failover the backup is measured; SOCKS and remote forwards are neither looked up nor probed.
    h.state->start(QStringLiteral("b"));
    h.runner.exitWith(QStringLiteral("b"), primaryDown);
    h.clock.advance(600);
    bringUp(h, QStringLiteral("b"));
    for (const char *id : {"socks", "remote"}) {
        h.state->start(QString::fromLatin1(id));
        bringUp(h, QString::fromLatin1(id));
    }
    QCOMPARE(h.lookups.size(), 3);
    h.clock.advance(3000);
    QCOMPARE(h.probes.size(), 3);
    QCOMPARE(h.probes.at(2).host, QStringLiteral("backup.test"));
    QCOMPARE(h.probes.at(2).port, quint16(2222));

    // Results: none leaves samples alone; 25 samples keep the last 24.
    h.probes.at(0).done(std::nullopt);
    QVERIFY(h.t(a).latencyMs.isEmpty());
    for (int i = 1; i <= 25; ++i)
        h.probes.at(1).done(double(i));
    QCOMPARE(h.t(a).latencyMs.size(), 24);
    QCOMPARE(h.t(a).latencyMs.first(), 2.0);

    // A result for an earlier run is dropped, even when the tunnel is connected again; leaving connected clears.
    h.state->start(QStringLiteral("b"));
    bringUp(h, QStringLiteral("b"));
    h.probes.at(2).done(3.0);
    QVERIFY(h.t(QStringLiteral("b")).latencyMs.isEmpty());
    h.runner.report(a, S::Connecting);
    QVERIFY(h.t(a).latencyMs.isEmpty());

    // A server not known yet (or hidden behind a proxy command: none) is not probed; a late answer for an earlier
    // launch is not taken for the current one.
    EngineHarness held({makeTunnel(a)});
    held.holdLookups = true;
    held.state->start(a);
    held.state->start(a);
    bringUp(held, a);
    held.clock.advance(3000);
    QVERIFY(held.probes.isEmpty());
    held.heldLookups.at(0)(ServerAddress{QStringLiteral("old.test"), 22});
    held.clock.advance(3000);
    QVERIFY(held.probes.isEmpty());
    held.heldLookups.at(1)(ServerAddress{QStringLiteral("new.test"), 2200});
    held.clock.advance(3000);
    QCOMPARE(held.probes.size(), 1);
    QCOMPARE(held.probes.at(0).host, QStringLiteral("new.test"));
    QCOMPARE(held.state->serverAddress(a), (ServerAddress{QStringLiteral("new.test"), 2200}));
}

void TstAppState::glyphVariantAndActiveCount()
{
    TempHome home;
    EngineHarness h({makeTunnel(a), makeTunnel(QStringLiteral("b"))});
    QList<GlyphVariant> seen;
    QObject::connect(h.state.get(), &AppState::glyphVariantChanged, h.state.get(), [&](GlyphVariant v) { seen << v; });
    QCOMPARE(h.state->glyphVariant(), GlyphVariant::None);
    h.state->start(a);
    bringUp(h, a);
    h.state->start(QStringLiteral("b"));
    QCOMPARE(h.state->activeCount(), 1);
    h.runner.report(QStringLiteral("b"), S::Connected);
    QCOMPARE(h.state->activeCount(), 2);
    h.runner.exitWith(QStringLiteral("b"), QStringLiteral("x"));
    QCOMPARE(seen, QList<GlyphVariant>({GlyphVariant::Connecting, GlyphVariant::One, GlyphVariant::Connecting,
                                        GlyphVariant::Several, GlyphVariant::One}));
}

void TstAppState::firstStartFailsOverToBackupOnce()
{
    TempHome home;
    LogCapture log;
    Tunnel t = backed(a);
    t.backupSshPort = QStringLiteral("2222");
    EngineHarness h({t});

    h.state->start(a);
    h.runner.exitWith(a, primaryDown);
    QCOMPARE(h.t(a).status, S::Connecting);
    QCOMPARE(h.t(a).reason, toBackup);
    QCOMPARE(h.t(a).activeHostIndex, 1);
    expectLaunchAfter(h, 600, 2, "backup.test");
    QCOMPARE(h.runner.started.last().sshPort, QStringLiteral("2222"));
    h.runner.report(a, S::Connecting); // the runner's report of the launch keeps the launch's reason
    QCOMPARE(h.t(a).reason, QStringLiteral("Connecting via backup…"));
    QCOMPARE(h.state->triedHosts(a), QSet<int>({0, 1}));
    QCOMPARE(log.messages(Log::Category::State).mid(1),
             QStringList({"connect a (L) via primary", "failover a → backup", "connect a (L) via backup"}));

    // The backup fails too: never connected, so it stays failed with the runner's reason.
    h.runner.exitWith(a, QStringLiteral("Host key verification failed"));
    QCOMPARE(h.t(a).status, S::Failed);
    QCOMPARE(h.t(a).reason, QStringLiteral("Host key verification failed"));
    h.clock.advance(120'000);
    QCOMPARE(h.runner.startsOf(a), 2);

    // A backup of spaces and tabs is no backup.
    EngineHarness blank({makeTunnel(a, TunnelType::Local, QStringLiteral(" \t "))});
    blank.state->start(a);
    blank.runner.exitWith(a, primaryDown);
    QCOMPARE(blank.t(a).status, S::Failed);
    QVERIFY(!blank.state->hasPendingWork(a));
}

void TstAppState::cycleAfterConnectionTriesBackupThenPrimaryThenReconnects()
{
    TempHome home;
    EngineHarness h({backed(a)});
    h.state->start(a);
    bringUp(h, a);

    h.runner.exitWith(a, QStringLiteral("Connection closed"));
    expectLaunchAfter(h, 600, 2, "backup.test");
    h.runner.exitWith(a, primaryDown);
    QCOMPARE(h.t(a).reason, toPrimary);
    expectLaunchAfter(h, 600, 3, "primary.test");

    h.runner.exitWith(a, primaryDown);
    QCOMPARE(h.t(a).status, S::Failed);
    QCOMPARE(h.t(a).reason, QStringLiteral("Reconnecting in 1s (1/6)"));
    expectLaunchAfter(h, 1000, 4, "primary.test");
    QCOMPARE(h.state->triedHosts(a), QSet<int>({0}));

    // The new cycle fails over again before the next attempt.
    h.runner.exitWith(a, primaryDown);
    QCOMPARE(h.t(a).reason, toBackup);
    QCOMPARE(h.state->reconnectAttempts(a), 1);
}

void TstAppState::backOffGivesUpAfterSixAttempts()
{
    TempHome home;
    LogCapture log;
    EngineHarness h({makeTunnel(a)});
    h.state->start(a);
    bringUp(h, a);

    const QList<int> delays{1, 2, 4, 8, 16, 30};
    for (int attempt = 1; attempt <= 6; ++attempt) {
        const int delay = delays.at(attempt - 1);
        h.runner.exitWith(a, QStringLiteral("fail %1").arg(attempt));
        QCOMPARE(h.t(a).status, S::Failed);
        QCOMPARE(h.t(a).reason, QStringLiteral("Reconnecting in %1s (%2/6)").arg(delay).arg(attempt));
        QVERIFY(log.contains(QStringLiteral("auto-reconnect a in %1s (attempt %2)").arg(delay).arg(attempt)));
        expectLaunchAfter(h, delay * 1000, attempt + 1, "primary.test");
        QCOMPARE(h.t(a).status, S::Connecting);
    }
    h.runner.exitWith(a, QStringLiteral("last reason"));
    QVERIFY(log.contains(QStringLiteral("auto-reconnect a: gave up after 6 attempts")));
    QCOMPARE(h.t(a).status, S::Failed);
    QCOMPARE(h.t(a).reason, QStringLiteral("last reason"));
    QVERIFY(!h.state->wantsConnection(a));
    h.clock.advance(600'000);
    QCOMPARE(h.runner.startsOf(a), 7);
    // A later report for the given-up tunnel is not wanted any more: nothing happens.
    h.runner.running.insert(a);
    h.runner.report(a, S::Failed, QStringLiteral("again"));
    QVERIFY(!h.state->hasPendingWork(a));

    // A success resets the count; autoreconnect off never reconnects.
    h.state->start(a);
    bringUp(h, a);
    h.runner.exitWith(a, QStringLiteral("x"));
    h.clock.advance(1000);
    bringUp(h, a);
    QCOMPARE(h.state->reconnectAttempts(a), 0);
    h.runner.exitWith(a, QStringLiteral("x"));
    QCOMPARE(h.t(a).reason, QStringLiteral("Reconnecting in 1s (1/6)"));

    Tunnel manual = makeTunnel(a);
    manual.autoreconnect = false;
    EngineHarness off({manual});
    off.state->start(a);
    bringUp(off, a);
    off.runner.exitWith(a, QStringLiteral("closed"));
    QCOMPARE(off.t(a).reason, QStringLiteral("closed"));
    QVERIFY(!off.state->hasPendingWork(a));
}

void TstAppState::repeatedFailedReportOfOneRun()
{
    TempHome home;
    LogCapture log;
    // Connected before, no backup: the second report of the run finds the reconnect pending and changes nothing, so
    // one failing run uses one attempt.
    {
        EngineHarness h({makeTunnel(a)});
        h.state->start(a);
        bringUp(h, a);
        failTwice(h, a, QStringLiteral("Permission denied"));
        QCOMPARE(h.state->reconnectAttempts(a), 1);
        QCOMPARE(h.t(a).reason, QStringLiteral("Reconnecting in 1s (1/6)"));
        expectLaunchAfter(h, 1000, 2, "primary.test");
    }
    // Connected before, with a backup: the first report fails over to the backup; the second must not turn that into
    // a failover back to the primary or a reconnect, or a dead primary would be the only server ever tried.
    {
        EngineHarness h({backed(a)});
        h.state->start(a);
        bringUp(h, a);
        failTwice(h, a, QStringLiteral("Connection closed"));
        QCOMPARE(h.t(a).status, S::Connecting);
        QCOMPARE(h.t(a).reason, toBackup);
        QCOMPARE(h.state->reconnectAttempts(a), 0);
        expectLaunchAfter(h, 600, 2, "backup.test");

        // Connected on the backup it stays there; when it drops, the other server is the primary, which refuses twice
        // over; the backup is launched again.
        bringUp(h, a);
        QCOMPARE(h.t(a).activeHostIndex, 1);
        h.runner.exitWith(a, QStringLiteral("Disconnected"));
        QCOMPARE(h.t(a).reason, toPrimary);
        QVERIFY(log.contains(QStringLiteral("failover a → primary")));
        expectLaunchAfter(h, 600, 3, "primary.test");
        QCOMPARE(h.t(a).reason, std::nullopt);
        failTwice(h, a, primaryDown);
        QCOMPARE(h.t(a).status, S::Connecting);
        QCOMPARE(h.t(a).reason, toBackup);
        QCOMPARE(h.state->reconnectAttempts(a), 0);
        expectLaunchAfter(h, 600, 4, "backup.test");
    }
    // Never connected, with a backup: the second report changes nothing, and the failover launch still runs.
    {
        EngineHarness h({backed(a)});
        h.state->start(a);
        failTwice(h, a, primaryDown);
        QCOMPARE(h.t(a).status, S::Connecting);
        QCOMPARE(h.t(a).reason, toBackup);
        QCOMPARE(h.state->reconnectAttempts(a), 0);
        expectLaunchAfter(h, 600, 2, "backup.test");
    }
}

void TstAppState::pendingWorkAndStopStart()
{
    TempHome home;
    EngineHarness h({backed(a)});

    // stop while a failover is pending: cancelled, nothing launches.
    h.state->start(a);
    h.runner.exitWith(a, primaryDown);
    QVERIFY(h.state->hasPendingWork(a));
    h.state->stop(a);
    QVERIFY(!h.state->hasPendingWork(a));
    h.clock.advance(10'000);
    QCOMPARE(h.runner.startsOf(a), 1);
    QCOMPARE(h.t(a).activeHostIndex, 0);

    // start while a reconnect is pending: launches at once on the primary with the count at 0; nothing fires later.
    h.state->start(a);
    bringUp(h, a);
    for (int i = 0; i < 3; ++i) {
        h.runner.exitWith(a, QStringLiteral("closed"));
        h.clock.advance(i < 2 ? 600 : 0);
    }
    QCOMPARE(h.state->reconnectAttempts(a), 1);
    const qsizetype before = h.runner.startsOf(a);
    h.state->start(a);
    QCOMPARE(h.runner.startsOf(a), before + 1);
    QCOMPARE(h.runner.started.last().host, QStringLiteral("primary.test"));
    QCOMPARE(h.state->reconnectAttempts(a), 0);
    QVERIFY(!h.state->hasPendingWork(a));
    h.clock.advance(60'000);
    QCOMPARE(h.runner.startsOf(a), before + 1);
}

void TstAppState::connectingCancelsPendingWorkAndCountsFromStart()
{
    TempHome home;
    // A run that reported a failure and then connected after all (ssh tried the next address): the failover it
    // scheduled must not replace the working session, and the tunnel shows the server it is really on.
    EngineHarness h({backed(a), makeTunnel(QStringLiteral("b"))});
    h.state->start(a);
    h.runner.report(a, S::Failed, primaryDown);
    QVERIFY(h.state->hasPendingWork(a));
    h.runner.report(a, S::Connected);
    QVERIFY(!h.state->hasPendingWork(a));
    QCOMPARE(h.t(a).activeHostIndex, 0);
    h.clock.advance(60'000);
    QCOMPARE(h.runner.startsOf(a), 1);
    QCOMPARE(h.t(a).status, S::Connected);

    // The same for a pending reconnect.
    const QString b = QStringLiteral("b");
    h.state->start(b);
    bringUp(h, b);
    h.runner.report(b, S::Failed, QStringLiteral("Disconnected"));
    QVERIFY(h.state->hasPendingWork(b));
    h.runner.report(b, S::Connected);
    h.clock.advance(60'000);
    QCOMPARE(h.runner.startsOf(b), 1);
    QCOMPARE(h.state->reconnectAttempts(b), 0);

    // Connected in an earlier run does not count after a new start: the new run's failure is not reconnected.
    h.state->start(b);
    QVERIFY(!h.state->everConnected(b));
    h.runner.exitWith(b, QStringLiteral("Permission denied"));
    QCOMPARE(h.t(b).reason, QStringLiteral("Permission denied"));
    QVERIFY(!h.state->hasPendingWork(b));
}

void TstAppState::headlessKeeperRetriesBeforeTheFirstConnect()
{
    TempHome home;
    LogCapture log;
    // Never giving up: a server that is not up yet is tried again and again, the wait capped at 30 s.
    EngineHarness h({});
    AppStateOptions keeper = h.options(QList<Tunnel>{makeTunnel(a)}, std::nullopt, false, false);
    keeper.retryBeforeFirstConnect = true;
    keeper.maxReconnectAttempts = 0;
    h.state = std::make_unique<AppState>(keeper);
    QStringList gaveUp;
    QObject::connect(h.state.get(), &AppState::gaveUp, h.state.get(), [&](const QString &id) { gaveUp << id; });
    h.state->start(a);
    const QList<int> delays{1, 2, 4, 8, 16, 30, 30, 30};
    for (int attempt = 1; attempt <= delays.size(); ++attempt) {
        failTwice(h, a, primaryDown);
        QCOMPARE(h.t(a).reason,
                 QStringLiteral("Reconnecting in %1s (attempt %2)").arg(delays.at(attempt - 1)).arg(attempt));
        expectLaunchAfter(h, delays.at(attempt - 1) * 1000, attempt + 1, "primary.test");
    }
    bringUp(h, a);
    QCOMPARE(h.state->reconnectAttempts(a), 0);
    QVERIFY(gaveUp.isEmpty());

    // With a limit: gives up after it, and says so once per run that ends it.
    keeper.maxReconnectAttempts = 2;
    h.state = std::make_unique<AppState>(keeper);
    QObject::connect(h.state.get(), &AppState::gaveUp, h.state.get(), [&](const QString &id) { gaveUp << id; });
    h.state->start(a);
    const qsizetype before = h.runner.startsOf(a);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        h.runner.exitWith(a, primaryDown);
        QCOMPARE(h.t(a).reason, QStringLiteral("Reconnecting in %1s (%2/2)").arg(attempt).arg(attempt));
        h.clock.advance(attempt * 1000);
    }
    h.runner.exitWith(a, primaryDown);
    QCOMPARE(h.runner.startsOf(a), before + 2);
    QCOMPARE(gaveUp, QStringList({a}));
    QVERIFY(!h.state->wantsConnection(a));
    QVERIFY(log.contains(QStringLiteral("auto-reconnect a: gave up after 2 attempts")));

    // The tray app's rule stays: a tunnel that never connected is left failed, which is giving up too.
    EngineHarness tray({makeTunnel(a)});
    QStringList trayGaveUp;
    QObject::connect(tray.state.get(), &AppState::gaveUp, tray.state.get(),
                     [&](const QString &id) { trayGaveUp << id; });
    tray.state->start(a);
    tray.runner.exitWith(a, primaryDown);
    QCOMPARE(tray.t(a).reason, primaryDown);
    QCOMPARE(trayGaveUp, QStringList({a}));
}

void TstAppState::reportsAfterDestructionAreDropped()
{
    TempHome home;
    EngineHarness h({backed(a)});
    h.state->start(a);
    h.runner.report(a, S::Connected);  // flash pending
    h.runner.exitWith(a, primaryDown); // failover pending
    h.state->start(a);
    h.state.reset();
    // Only our own flash removal may be left in the clock; it finds the state gone.
    h.clock.advance(60'000);
    h.runner.report(a, S::Connected);
    h.runner.log(a, QStringLiteral("late"));
    QCOMPARE(h.runner.startsOf(a), 2);
}

QTEST_GUILESS_MAIN(TstAppState)
#include "tst_AppState.moc"
