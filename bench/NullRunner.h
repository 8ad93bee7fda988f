#pragma once

#include "ssh/SSHRunning.h"

#include <QHash>
#include <QSet>

// Spawns nothing; remembers what runs (and under which run) so late reports are judged as with a real runner.
// report() plays the runner's status callback for the id's latest run when a benchmark wants to drive states itself.
class NullRunner : public SSHRunning {
public:
    quint64 start(const Tunnel &tunnel) override
    {
        m_running.insert(tunnel.id);
        m_runs.insert(tunnel.id, ++m_lastRun);
        return m_lastRun;
    }
    void stop(const QString &id) override { m_running.remove(id); }
    void stopAll() override { m_running.clear(); }
    bool isRunning(const QString &id) const override { return m_running.contains(id); }

    void report(const QString &id, TunnelStatus status)
    {
        if (onStatus)
            onStatus(id, m_runs.value(id), status, std::nullopt);
    }

private:
    QSet<QString> m_running;
    QHash<QString, quint64> m_runs;
    quint64 m_lastRun = 0;
};
