#include "support/RunnerRecorder.h"

#include "ssh/SSHRunning.h"

#include <QCoreApplication>
#include <QThread>
#include <QtTest>
#include <algorithm>

RunnerRecorder::RunnerRecorder(SSHRunning &runner)
{
    const auto noteThread = [this] {
        m_allOnMainThread = m_allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    };
    runner.onStatus = [this, noteThread](const QString &id, quint64 run, TunnelStatus status,
                                         const std::optional<QString> &reason) {
        noteThread();
        m_statuses.append(Status{id, run, status, reason, logs(id).size()});
        noteRun(id, run);
    };
    runner.onLog = [this, noteThread](const QString &id, quint64 run, const LogLine &line) {
        noteThread();
        m_logs.append({id, line});
        noteRun(id, run);
    };
}

QList<RunnerRecorder::Status> RunnerRecorder::statuses(const QString &id) const
{
    QList<Status> out;
    for (const Status &s : m_statuses) {
        if (s.id == id)
            out << s;
    }
    return out;
}

QList<LogLine> RunnerRecorder::logs(const QString &id) const
{
    QList<LogLine> out;
    for (const auto &entry : m_logs) {
        if (entry.first == id)
            out << entry.second;
    }
    return out;
}

QList<quint64> RunnerRecorder::runs(const QString &id) const
{
    return m_runs.value(id);
}

void RunnerRecorder::noteRun(const QString &id, quint64 run)
{
    QList<quint64> &seen = m_runs[id];
    if (seen.isEmpty() || seen.last() != run)
        seen.append(run);
}

QStringList RunnerRecorder::logTexts(const QString &id) const
{
    QStringList out;
    for (const LogLine &line : logs(id))
        out << line.text;
    return out;
}

QStringList RunnerRecorder::statusTexts(const QString &id) const
{
    QStringList out;
    for (const Status &s : statuses(id))
        out << (s.reason ? textOf(s.status) + QStringLiteral(": ") + *s.reason : textOf(s.status));
    return out;
}

bool RunnerRecorder::waitForStatuses(const QString &id, int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return statuses(id).size() >= count; }, timeoutMs);
}

bool RunnerRecorder::waitForStatus(const QString &id, TunnelStatus status, int timeoutMs) const
{
    return QTest::qWaitFor(
        [&] { return std::ranges::any_of(statuses(id), [&](const Status &s) { return s.status == status; }); },
        timeoutMs);
}

bool RunnerRecorder::waitForLogs(const QString &id, int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return logs(id).size() >= count; }, timeoutMs);
}
