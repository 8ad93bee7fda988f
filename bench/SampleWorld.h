#pragma once

#include "engine/AppState.h"
#include "ssh/SSHRunning.h"

#include <QList>

// The tunnels the benchmarks load: local forwards with every seventh a SOCKS proxy, spread over `groups` groups
// ("g0", "g1", …) when there are any.
inline QList<Tunnel> sampleTunnels(int count, int groups = 0, bool autostart = false)
{
    QList<Tunnel> tunnels;
    for (int i = 0; i < count; ++i) {
        Tunnel t;
        t.id = QStringLiteral("t%1").arg(i);
        t.name = QStringLiteral("Tunnel %1").arg(i);
        t.type = i % 7 == 0 ? TunnelType::Socks : TunnelType::Local;
        t.host = QStringLiteral("host%1.example").arg(i);
        t.user = QStringLiteral("me");
        t.bindPort = QString::number(20000 + i);
        t.targetHost = QStringLiteral("db.internal");
        t.targetPort = QStringLiteral("5432");
        t.autostart = autostart;
        if (groups > 0)
            t.groupId = QStringLiteral("g%1").arg(i % groups);
        tunnels.append(t);
    }
    return tunnels;
}

inline QList<TunnelGroup> sampleGroups(int count)
{
    QList<TunnelGroup> groups;
    for (int g = 0; g < count; ++g)
        groups.append(TunnelGroup{QStringLiteral("g%1").arg(g), QStringLiteral("Group %1").arg(g), g});
    return groups;
}

// An app state that writes nothing, resolves every server at once to its own host and never answers a latency probe
// (a benchmark replaces `probe` to answer them itself).
inline AppStateOptions sampleOptions(const QList<Tunnel> &tunnels, const QList<TunnelGroup> &groups, SSHRunning *runner,
                                     Clock *clock)
{
    AppStateOptions o;
    o.tunnels = tunnels;
    o.groups = groups;
    o.ssh = runner;
    o.clock = clock;
    o.autostart = true;
    o.persist = [](const QList<Tunnel> &) { return WriteResult(); };
    o.groupsPersist = [](const QList<TunnelGroup> &) { return WriteResult(); };
    o.probe = [](const QString &, quint16, double, std::function<void(std::optional<double>)>) {};
    o.resolveServer = [](const Tunnel &record, std::function<void(std::optional<ServerAddress>)> done) {
        done(ServerAddress{record.host, 22});
    };
    return o;
}
