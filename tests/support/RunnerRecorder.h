#pragma once

#include "model/LogLine.h"
#include "model/TunnelStatus.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class SSHRunning;

// Records what a runner reports through its two callbacks, in arrival order, for assertions.
class RunnerRecorder {
public:
    struct Status {
        QString id;
        quint64 run = 0;
        TunnelStatus status = TunnelStatus::Idle;
        std::optional<QString> reason;
        // How many log lines of the id had arrived before this report.
        qsizetype logsBefore = 0;
    };

    explicit RunnerRecorder(SSHRunning &runner);

    QList<Status> statuses(const QString &id) const;
    QList<LogLine> logs(const QString &id) const;
    // The runs the id's reports and log lines named, in arrival order, repeats folded.
    QList<quint64> runs(const QString &id) const;
    QStringList logTexts(const QString &id) const;
    // "connecting", "connected", "failed: <reason>" per report, for readable comparisons.
    QStringList statusTexts(const QString &id) const;
    // Processes events until the id has at least `count` reports (false after timeoutMs).
    bool waitForStatuses(const QString &id, int count, int timeoutMs = 20000) const;
    // Processes events until a report with this status arrives for the id, or the id has `count` log lines.
    bool waitForStatus(const QString &id, TunnelStatus status, int timeoutMs = 20000) const;
    bool waitForLogs(const QString &id, int count, int timeoutMs = 20000) const;
    bool onMainThread() const { return m_allOnMainThread; }

private:
    void noteRun(const QString &id, quint64 run);

    QList<Status> m_statuses;
    QList<std::pair<QString, LogLine>> m_logs;
    QHash<QString, QList<quint64>> m_runs;
    bool m_allOnMainThread = true;
};
