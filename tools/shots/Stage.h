#pragma once

#include "QuietRunner.h"
#include "app/Coordinator.h"
#include "engine/AppState.h"
#include "engine/ManualClock.h"

#include <memory>

// The application as a user would see it, without ssh, files or a tray: an AppState on a quiet runner and a manual
// clock, and the coordinator that opens its windows. Latency probes wait until latencyRound answers them.
class Stage {
public:
    Stage(const QList<Tunnel> &tunnels, const QList<TunnelGroup> &groups = {}, bool dev = false);
    ~Stage();
    Q_DISABLE_COPY_MOVE(Stage)

    AppState &state() { return *m_state; }
    Coordinator &coordinator() { return *m_coordinator; }
    QuietRunner &runner() { return m_runner; }
    ManualClock &clock() { return m_clock; }

    // Starts the tunnel and, when given, reports that status (with a reason for a failure).
    void run(const QString &id, std::optional<TunnelStatus> status = std::nullopt, const QString &reason = {});
    // Runs the clock to the next latency round and answers every probe of it with ms.
    void latencyRound(double ms);
    // Every later save of the lists fails with this reason (none when empty).
    void failSaves(const QString &reason) { m_saveError = reason; }
    // The editor's connection test still running, or null; answering it shows the result.
    std::function<void(bool, const QString &)> takePendingTest() { return std::exchange(m_pendingTest, {}); }

private:
    QuietRunner m_runner;
    ManualClock m_clock;
    QString m_saveError;
    QList<std::function<void(std::optional<double>)>> m_probes;
    std::function<void(bool, const QString &)> m_pendingTest;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<Coordinator> m_coordinator;
};

// A local forward from 127.0.0.1:bindPort to target:targetPort through host.
Tunnel sampleTunnel(const QString &id, const QString &name, TunnelType type, const QString &bindPort,
                    const QString &target = {}, const QString &targetPort = {});
