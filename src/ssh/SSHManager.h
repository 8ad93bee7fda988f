#pragma once

#include "ssh/ChildProcess.h"
#include "ssh/SSHRunning.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QProcess;

// Runs one ssh child per running tunnel, reads its merged output on the main event loop through one
// SSHOutputInterpreter per run, and reports log lines and run states (connecting, connected, failed with a reason)
// through the SSHRunning callbacks, always queued and tagged with the run.
class SSHManager : public QObject, public SSHRunning {
    Q_OBJECT
public:
    // A run still connecting after this long is stopped and fails with "Connection timed out".
    static constexpr int connectionDeadlineMs = 30000;
    // The one-shot login test answers (false, "Connection timed out") after this long.
    static constexpr int testDeadlineMs = 30000;
    // A child asked to end (SIGTERM) that is still there after this long is killed.
    static constexpr int killGraceMs = ChildProcess::killGraceMs;

    explicit SSHManager(const QString &program = QStringLiteral("/usr/bin/ssh"), QObject *parent = nullptr);
    ~SSHManager() override;

    quint64 start(const Tunnel &tunnel) override;
    void stop(const QString &id) override;
    void stopAll() override;
    bool isRunning(const QString &id) const override;

    // For runs started from now on.
    void setConnectionDeadline(int ms) { m_connectionDeadlineMs = ms; }

    // The reason of the first failure-table row whose pattern occurs in text, or none.
    static std::optional<QString> failureReason(const QString &text);
    // True when text holds one of ssh's connected phrases (any tunnel type; used for colouring log lines).
    static bool indicatesConnected(const QString &text);
    // True when ssh would read the destination argument as an option (it begins with "-").
    static bool destinationIsUnsafe(const Tunnel &tunnel);
    // Arguments of the one-shot login test: batch mode, 8 s connect timeout, host-key policy, identity, jump host,
    // port, destination and the remote command "true".
    static QStringList testArguments(const Tunnel &tunnel);
    // Logs in once and runs "true"; completion runs exactly once, queued on the main thread, with (true,
    // "Connected"), (false, a failure-table reason), (false, "Could not connect") or, when ssh has not finished
    // within deadlineMs, (false, "Connection timed out") after stopping it.
    static void test(const Tunnel &tunnel, std::function<void(bool ok, QString message)> completion,
                     const QString &program = QStringLiteral("/usr/bin/ssh"), int deadlineMs = testDeadlineMs);

private:
    struct Child;

    void handleChunk(const std::shared_ptr<Child> &child, const QByteArray &bytes, bool atEnd);
    void handleExit(const std::shared_ptr<Child> &child, int exitCode);
    void handleDeadline(const std::shared_ptr<Child> &child);
    void handleLaunchFailure(const std::shared_ptr<Child> &child);
    // Logs which process holds the local port a forward could not bind, when that can be found.
    void reportPortHolder(const std::shared_ptr<Child> &child);
    // Forgets the child if it is still the one recorded under its id.
    void forget(const std::shared_ptr<Child> &child);
    // Detaches a child from all reporting and asks it to end; the process object is deleted once it has exited.
    void retire(const std::shared_ptr<Child> &child);
    void emitStatus(const QString &id, quint64 run, TunnelStatus status, const std::optional<QString> &reason);
    void emitLog(const QString &id, quint64 run, const QString &text);

    QString m_program;
    int m_connectionDeadlineMs = connectionDeadlineMs;
    quint64 m_lastRun = 0;
    // Touched on the main thread only.
    std::map<QString, std::shared_ptr<Child>> m_procs;
};
