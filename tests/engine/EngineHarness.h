#pragma once

#include "engine/AppState.h"
#include "engine/ManualClock.h"
#include "support/FakeRunner.h"
#include "support/FakeSystemProxy.h"

#include <memory>

// An AppState on a fake runner, a fake proxy switch, a manual clock, recording persistence hooks, a fake latency
// probe whose requests the test answers, and a server lookup that answers at once with the launched record's host
// and port (what `ssh -G` says for a plain address).
struct EngineHarness {
    struct ProbeRequest {
        QString host;
        quint16 port = 0;
        double timeoutSec = 0;
        std::function<void(std::optional<double>)> done;
    };

    ManualClock clock;
    FakeRunner runner;
    FakeSystemProxy proxy;
    QList<QList<Tunnel>> persistedTunnels;
    QList<QList<TunnelGroup>> persistedGroups;
    // When set, both writers fail with this reason (and record nothing).
    QString saveError;
    QList<ProbeRequest> probes;
    // The records whose server was looked up, one per launch of a local forward.
    QList<Tunnel> lookups;
    // When set, lookups wait in heldLookups for the test to answer them.
    bool holdLookups = false;
    QList<std::function<void(std::optional<ServerAddress>)>> heldLookups;
    std::unique_ptr<AppState> state;

    explicit EngineHarness(const QList<Tunnel> &tunnels, const QList<TunnelGroup> &groups = {}, bool autostart = true,
                           bool dev = false)
    {
        state = std::make_unique<AppState>(options(tunnels, groups, autostart, dev));
    }

    AppStateOptions options(const std::optional<QList<Tunnel>> &tunnels,
                            const std::optional<QList<TunnelGroup>> &groups, bool autostart, bool dev)
    {
        AppStateOptions o;
        o.tunnels = tunnels;
        o.groups = groups;
        o.ssh = &runner;
        o.persist = [this](const QList<Tunnel> &list) {
            if (saveError.isEmpty())
                persistedTunnels.append(list);
            return WriteResult{saveError};
        };
        o.groupsPersist = [this](const QList<TunnelGroup> &list) {
            if (saveError.isEmpty())
                persistedGroups.append(list);
            return WriteResult{saveError};
        };
        o.systemProxy = &proxy;
        o.clock = &clock;
        o.dev = dev;
        o.autostart = autostart;
        o.probe = [this](const QString &host, quint16 port, double timeoutSec,
                         std::function<void(std::optional<double>)> done) {
            probes.append({host, port, timeoutSec, std::move(done)});
        };
        o.resolveServer = [this](const Tunnel &record, std::function<void(std::optional<ServerAddress>)> done) {
            lookups.append(record);
            if (holdLookups)
                heldLookups.append(std::move(done));
            else
                done(ServerAddress{record.host, quint16(record.sshPort.toUShort())});
        };
        return o;
    }

    // Runs the clock to the next latency round (at most three ticks) and answers each of its probes with ms.
    void latencyRound(double ms)
    {
        const qsizetype before = probes.size();
        for (int i = 0; i < 3 && probes.size() == before; ++i)
            clock.advance(AppState::tickIntervalMs);
        for (qsizetype i = before; i < probes.size(); ++i)
            probes.at(i).done(ms);
    }

    const Tunnel &t(const QString &id) const
    {
        const Tunnel *found = state->tunnel(id);
        Q_ASSERT(found);
        return *found;
    }
};

// A local forward on 127.0.0.1:bindPort through host "primary.test".
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
