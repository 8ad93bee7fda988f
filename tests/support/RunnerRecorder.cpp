#include "support/RunnerRecorder.h"

#include "ssh/SSHRunning.h"

#include <QtTest>

RunnerRecorder::RunnerRecorder(SSHRunning &runner)
{
    runner.onStatus = [this](const QString &id, quint64 run, TunnelStatus status,
                             const std::optional<QString> &reason) {
        m_statuses[id].append(Status{run, status, reason, m_logs.value(id).size()});
    };
    runner.onLog = [this](const QString &id, quint64, const LogLine &line) { m_logs[id].append(line); };
}

QStringList RunnerRecorder::logTexts(const QString &id) const
{
    QStringList out;
    for (const LogLine &line : m_logs.value(id))
        out << line.text;
    return out;
}

QStringList RunnerRecorder::statusTexts(const QString &id) const
{
    QStringList out;
    for (const Status &s : m_statuses.value(id))
        out << (s.reason ? textOf(s.status) + QStringLiteral(": ") + *s.reason : textOf(s.status));
    return out;
}

bool RunnerRecorder::waitForStatuses(const QString &id, int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return m_statuses.value(id).size() >= count; }, timeoutMs);
}
