#pragma once

#include "ssh/SSHRunning.h"

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QProcess;

// Runs one ssh child per running tunnel, reads its merged output on the main event loop, and reports log lines and
// run states (connecting, connected, failed with a reason) through the SSHRunning callbacks, always queued.
class SSHManager : public QObject, public SSHRunning {
    Q_OBJECT
public:
    explicit SSHManager(const QString &program = QStringLiteral("/usr/bin/ssh"), QObject *parent = nullptr);
    ~SSHManager() override;

    void start(const Tunnel &tunnel) override;
    void stop(const QString &id) override;
    void stopAll() override;
    bool isRunning(const QString &id) const override;

    // The reason of the first failure-table row whose pattern occurs in text, or none.
    static std::optional<QString> failureReason(const QString &text);
    // True when text holds one of ssh's connected phrases (any tunnel type; used for colouring log lines).
    static bool indicatesConnected(const QString &text);
    // True when this line proves that every forward of a tunnel of this type is up.
    static bool confirmsForwarding(TunnelType type, const QString &text);
    // True when ssh would read the destination argument as an option (it begins with "-").
    static bool destinationIsUnsafe(const Tunnel &tunnel);
    // Arguments of the one-shot login test: batch mode, 8 s connect timeout, host-key policy, identity, jump host,
    // port, destination and the remote command "true".
    static QStringList testArguments(const Tunnel &tunnel);
    // Logs in once and runs "true"; completion runs exactly once, queued on the main thread, with (true,
    // "Connected"), (false, a failure-table reason) or (false, "Could not connect").
    static void test(const Tunnel &tunnel, std::function<void(bool ok, QString message)> completion,
                     const QString &program = QStringLiteral("/usr/bin/ssh"));

private:
    struct Child;

    void readOutput(const std::shared_ptr<Child> &child);
    void handleChunk(const std::shared_ptr<Child> &child, const QByteArray &bytes, bool atEnd);
    void handleLine(const std::shared_ptr<Child> &child, const QString &line);
    void handleExit(const std::shared_ptr<Child> &child, int exitCode);
    // Detaches a child from all reporting and asks it to end; the process object is deleted once it has exited.
    void retire(const std::shared_ptr<Child> &child);
    void emitStatus(const QString &id, TunnelStatus status, const std::optional<QString> &reason);
    void emitLog(const QString &id, const QString &text);

    QString m_program;
    std::map<QString, std::shared_ptr<Child>> m_procs;
    mutable QMutex m_lock;
};
