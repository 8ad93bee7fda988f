#pragma once

#include "ssh/SSHRunning.h"

#include <QSet>

// Spawns nothing; remembers what runs so late reports are judged as with a real runner. report() plays the runner's
// status callback when a benchmark wants to drive states itself.
class NullRunner : public SSHRunning {
public:
    void start(const Tunnel &tunnel) override { m_running.insert(tunnel.id); }
    void stop(const QString &id) override { m_running.remove(id); }
    void stopAll() override { m_running.clear(); }
    bool isRunning(const QString &id) const override { return m_running.contains(id); }

    void report(const QString &id, TunnelStatus status)
    {
        if (onStatus)
            onStatus(id, status, std::nullopt);
    }

private:
    QSet<QString> m_running;
};
