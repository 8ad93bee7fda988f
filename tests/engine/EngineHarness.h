#pragma once

#include "engine/AppState.h"
#include "engine/ManualClock.h"
#include "support/FakeRunner.h"
#include "support/FakeSystemProxy.h"

#include <memory>

// An AppState on a fake runner, a fake proxy switch, a manual clock, recording persistence hooks, a fake latency
// probe whose requests the test answers, and a server lookup that answers at once with the launched record's host
// and port (what `ssh -G` says for a plain address), or waits for the test when holdLookups is set.
struct EngineHarness {
    ManualClock clock;
    FakeRunner runner;
    FakeSystemProxy proxy;
    QList<QList<Tunnel>> persistedTunnels;
    QList<QList<TunnelGroup>> persistedGroups;
    QString saveError;  // when set, both writers fail with this reason and record nothing
    QStringList probed; // "host:port" of each latency probe asked for
    QList<std::function<void(std::optional<double>)>> probes; // the answer to each
    QList<Tunnel> lookups;
    bool holdLookups = false;
    QList<std::function<void(std::optional<ServerAddress>)>> heldLookups;
    std::unique_ptr<AppState> state;

    // adjust may change the options before the state is made.
    explicit EngineHarness(const QList<Tunnel> &tunnels, const QList<TunnelGroup> &groups = {}, bool autostart = true,
                           bool dev = false, const std::function<void(AppStateOptions &)> &adjust = nullptr)
    {
        AppStateOptions o;
        o.tunnels = tunnels;
        o.groups = groups;
        o.ssh = &runner;
        o.persist = [this](const QList<Tunnel> &list) { return record(persistedTunnels, list); };
        o.groupsPersist = [this](const QList<TunnelGroup> &list) { return record(persistedGroups, list); };
        o.systemProxy = &proxy;
        o.clock = &clock;
        o.autostart = autostart;
        o.dev = dev;
        o.probe = [this](const QString &host, quint16 port, double, std::function<void(std::optional<double>)> done) {
            probed.append(host + ":" + QString::number(port));
            probes.append(std::move(done));
        };
        o.resolveServer = [this](const Tunnel &record, std::function<void(std::optional<ServerAddress>)> done) {
            lookups.append(record);
            if (holdLookups)
                heldLookups.append(std::move(done));
            else
                done(ServerAddress{record.host, quint16(record.sshPort.toUShort())});
        };
        if (adjust)
            adjust(o);
        state = std::make_unique<AppState>(o);
    }

    template <typename T> WriteResult record(QList<QList<T>> &written, const QList<T> &list)
    {
        if (saveError.isEmpty())
            written.append(list);
        return WriteResult{saveError};
    }

    // Runs the clock to the next latency round (at most three ticks) and answers each of its probes with ms.
    void latencyRound(double ms)
    {
        const qsizetype before = probes.size();
        for (int i = 0; i < 3 && probes.size() == before; ++i)
            clock.advance(AppState::tickIntervalMs);
        for (qsizetype i = before; i < probes.size(); ++i)
            probes.at(i)(ms);
    }

    const Tunnel &t(const QString &id) const { return *state->tunnel(id); }
    // What the tunnel shows: "connecting", "failed: <reason>" and so on.
    QString shown(const QString &id) const { return textOf(t(id).status) + (t(id).reason ? ": " + *t(id).reason : ""); }
};

// A local forward on 127.0.0.1:9000 through host "primary.test".
inline Tunnel makeTunnel(const QString &id, TunnelType type = TunnelType::Local, const QString &backup = {})
{
    Tunnel t;
    t.id = id;
    t.name = QStringLiteral("Tunnel ") + id;
    t.type = type;
    t.host = QStringLiteral("primary.test");
    t.user = QStringLiteral("me");
    t.bindPort = QStringLiteral("9000");
    t.targetHost = QStringLiteral("db.internal");
    t.targetPort = QStringLiteral("5432");
    t.backupHost = backup;
    return t;
}
