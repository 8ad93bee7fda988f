#include "Stage.h"

Stage::Stage(const QList<Tunnel> &tunnels, const QList<TunnelGroup> &groups, bool dev)
{
    AppStateOptions o;
    o.tunnels = tunnels;
    o.groups = groups;
    o.ssh = &m_runner;
    o.clock = &m_clock;
    o.dev = dev;
    o.autostart = false;
    o.persist = [this](const QList<Tunnel> &) { return WriteResult{m_saveError}; };
    o.groupsPersist = [this](const QList<TunnelGroup> &) { return WriteResult{m_saveError}; };
    o.probe = [this](const QString &, quint16, double, std::function<void(std::optional<double>)> done) {
        m_probes.append(std::move(done));
    };
    o.resolveServer = [](const Tunnel &record, std::function<void(std::optional<ServerAddress>)> done) {
        done(ServerAddress{record.host, quint16(record.sshPort.toUShort())});
    };
    m_state = std::make_unique<AppState>(std::move(o));
    m_coordinator = std::make_unique<Coordinator>(
        *m_state, m_clock, dev, dev ? QStringLiteral("Flumewire (Dev)") : QStringLiteral("Flumewire"));
    m_coordinator->connectionTest = [this](const Tunnel &, std::function<void(bool, const QString &)> done) {
        m_pendingTest = std::move(done);
    };
}

Stage::~Stage()
{
    m_coordinator.reset();
    m_runner.stopAll();
}

void Stage::run(const QString &id, std::optional<TunnelStatus> status, const QString &reason)
{
    m_state->start(id);
    if (status)
        m_runner.report(id, *status, reason.isEmpty() ? std::nullopt : std::optional<QString>(reason));
}

void Stage::latencyRound(double ms)
{
    const qsizetype before = m_probes.size();
    for (int i = 0; i < 3 && m_probes.size() == before; ++i)
        m_clock.advance(AppState::tickIntervalMs);
    const auto answers = m_probes.mid(before);
    for (const auto &done : answers)
        done(ms);
}

Tunnel sampleTunnel(const QString &id, const QString &name, TunnelType type, const QString &bindPort,
                    const QString &target, const QString &targetPort)
{
    Tunnel t;
    t.id = id;
    t.name = name;
    t.type = type;
    t.host = QStringLiteral("bastion.example.net");
    t.user = QStringLiteral("deploy");
    t.bindPort = bindPort;
    t.targetHost = target.isEmpty() ? QStringLiteral("localhost") : target;
    t.targetPort = targetPort.isEmpty() ? bindPort : targetPort;
    return t;
}
