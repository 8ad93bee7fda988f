#pragma once

#include "ssh/SSHRunning.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

// A runner that spawns nothing: it records every call and delivers reports only when the test says so, tagged with
// the id's latest run unless the test names another.
class FakeRunner : public SSHRunning {
public:
    quint64 start(const Tunnel &tunnel) override
    {
        started.append(tunnel);
        calls.append(QStringLiteral("start ") + tunnel.id);
        running.insert(tunnel.id);
        runs.insert(tunnel.id, started.size());
        return started.size();
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

    // A run named is one of an earlier child, whose report was still queued when the next began.
    void report(const QString &id, TunnelStatus status, const std::optional<QString> &reason = std::nullopt,
                std::optional<quint64> run = std::nullopt)
    {
        if (onStatus)
            onStatus(id, run.value_or(runs.value(id)), status, reason);
    }
    void exitWith(const QString &id, const QString &reason)
    {
        running.remove(id);
        report(id, TunnelStatus::Failed, reason);
    }
    void log(const QString &id, const QString &text, std::optional<quint64> run = std::nullopt)
    {
        if (onLog)
            onLog(id, run.value_or(runs.value(id)), LogLine::make(text));
    }
    qsizetype startsOf(const QString &id) const { return calls.count(QStringLiteral("start ") + id); }

    QList<Tunnel> started;
    QStringList calls;
    QSet<QString> running;
    QHash<QString, quint64> runs; // each id's latest run, numbered by the starts so far
};
