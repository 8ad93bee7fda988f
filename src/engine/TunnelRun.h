#pragma once

#include "engine/Clock.h"
#include "model/LogLine.h"

#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

// Where a tunnel's SSH server takes TCP connections: what its latency is measured against.
struct ServerAddress {
    QString host;
    quint16 port = 22;
    bool operator==(const ServerAddress &) const = default;
};

// The engine's bookkeeping for one tunnel id, beside the published Tunnel record: whether the user wants it up, the
// failover and reconnect cycle, the one pending delayed launch, the log of the current run and the server its latency
// is measured against. AppState keeps one per id that was started or logged; the published run-time fields (status,
// reason, uptime, latency samples) stay on the Tunnel where the views read them.
class TunnelRun {
public:
    static constexpr int maxLogLines = 500;
    static constexpr int latencyWindow = 24;

    explicit TunnelRun(Clock *clock = nullptr) : m_clock(clock) {}
    TunnelRun(const TunnelRun &) = delete;
    TunnelRun &operator=(const TunnelRun &) = delete;
    ~TunnelRun() { cancelWork(); }

    // The user asked for the tunnel to be up: only wanted tunnels are failed over or reconnected.
    bool wanted = false;
    // Reached connected since the last start.
    bool everConnected = false;
    // Reconnect attempts since the last success.
    int attempts = 0;
    // Server indices (0 primary, 1 backup) launched in the current cycle.
    QSet<int> triedHosts;
    // The server index the current run was launched on.
    int launchedHost = 0;
    // Counts launches, so that an answer meant for an earlier launch is recognised and dropped.
    quint64 launches = 0;
    // The runner's id of the current child (0: none); reports carrying any other run are dropped.
    quint64 sshRun = 0;
    // The current run's SSH server as `ssh -G` resolved it; none while unknown or when a proxy command is used.
    std::optional<ServerAddress> server;

    // A new cycle: attempts counted from zero, no server tried yet.
    void resetCycle()
    {
        attempts = 0;
        triedHosts.clear();
    }

    // Replaces any pending launch by `work`, run once after delayMs.
    void schedule(qint64 delayMs, std::function<void()> work);
    void cancelWork();
    bool hasPendingWork() const { return m_pending != 0; }

    // The log of the current (or last) run, oldest first, at most maxLogLines lines.
    const QList<LogLine> &log() const { return m_log; }
    void appendLog(const LogLine &line);
    void clearLog() { m_log.clear(); }

    // Appends one sample to a latency window, keeping the newest latencyWindow.
    static void addSample(QList<double> &window, double ms);

private:
    Clock *m_clock = nullptr;
    Clock::WorkId m_pending = 0;
    QList<LogLine> m_log;
};
