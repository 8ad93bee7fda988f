#pragma once

#include "model/LogLine.h"
#include "model/TunnelStatus.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class SSHRunning;

// Records what a runner reports through its two callbacks, per tunnel id in arrival order, for assertions.
class RunnerRecorder {
public:
    struct Status {
        quint64 run = 0;
        TunnelStatus status = TunnelStatus::Idle;
        std::optional<QString> reason;
        // How many log lines of the id had arrived before this report.
        qsizetype logsBefore = 0;
    };

    explicit RunnerRecorder(SSHRunning &runner);

    QList<Status> statuses(const QString &id) const { return m_statuses.value(id); }
    QList<LogLine> logs(const QString &id) const { return m_logs.value(id); }
    QStringList logTexts(const QString &id) const;
    // "connecting", "connected", "failed: <reason>" per report, for readable comparisons.
    QStringList statusTexts(const QString &id) const;
    // Processes events until the id has at least `count` reports (false after timeoutMs).
    bool waitForStatuses(const QString &id, int count, int timeoutMs = 20000) const;

private:
    QHash<QString, QList<Status>> m_statuses;
    QHash<QString, QList<LogLine>> m_logs;
};
