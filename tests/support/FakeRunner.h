#pragma once

#include "ssh/SSHRunning.h"

#include <QList>
#include <QSet>
#include <QStringList>

// A runner that spawns nothing: it records every call and delivers reports only when the test says so.
class FakeRunner : public SSHRunning {
public:
    void start(const Tunnel &tunnel) override
    {
        started.append(tunnel);
        calls.append(QStringLiteral("start ") + tunnel.id);
        running.insert(tunnel.id);
    }
    void stop(const QString &id) override
    {
        calls.append(QStringLiteral("stop ") + id);
        running.remove(id);
    }
    void stopAll() override
    {
        calls.append(QStringLiteral("stopAll"));
        running.clear();
    }
    bool isRunning(const QString &id) const override { return running.contains(id); }

    // Delivers a status report as the real runner's queued callback would.
    void report(const QString &id, TunnelStatus status, const std::optional<QString> &reason = std::nullopt)
    {
        if (onStatus)
            onStatus(id, status, reason);
    }
    // The child ended: reports failed with the reason and forgets it.
    void exitWith(const QString &id, const QString &reason)
    {
        running.remove(id);
        report(id, TunnelStatus::Failed, reason);
    }
    void log(const QString &id, const QString &text)
    {
        if (onLog)
            onLog(id, LogLine::make(text));
    }
    qsizetype startsOf(const QString &id) const
    {
        return std::count_if(started.cbegin(), started.cend(), [&id](const Tunnel &t) { return t.id == id; });
    }

    QList<Tunnel> started;
    QStringList calls;
    QSet<QString> running;
};
