#pragma once

#include "ssh/SSHRunning.h"

#include <QHash>

// A runner that starts no process: the picture program says what each tunnel's ssh would have reported.
class QuietRunner : public SSHRunning {
public:
    quint64 start(const Tunnel &tunnel) override
    {
        m_runs.insert(tunnel.id, ++m_lastRun);
        return m_lastRun;
    }
    void stop(const QString &id) override { m_runs.remove(id); }
    void stopAll() override { m_runs.clear(); }
    bool isRunning(const QString &id) const override { return m_runs.contains(id); }

    void report(const QString &id, TunnelStatus status, const std::optional<QString> &reason = std::nullopt)
    {
        if (onStatus)
            onStatus(id, m_runs.value(id), status, reason);
    }
    void log(const QString &id, const QString &text)
    {
        if (onLog)
            onLog(id, m_runs.value(id), LogLine::make(text));
    }

private:
    QHash<QString, quint64> m_runs;
    quint64 m_lastRun = 0;
};
