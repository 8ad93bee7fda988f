#pragma once

#include "model/LogLine.h"
#include "model/Tunnel.h"
#include "model/TunnelStatus.h"

#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

// What the engine sees of the ssh runner: it starts and stops one child per tunnel id and reports run states and
// output lines through two callbacks, always on the main thread and queued (never from inside start/stop). Every
// report names the run it belongs to, so a report still queued from a replaced child can be told from the new one's.
class SSHRunning {
public:
    using StatusCallback =
        std::function<void(const QString &id, quint64 run, TunnelStatus status, const std::optional<QString> &reason)>;
    using LogCallback = std::function<void(const QString &id, quint64 run, const LogLine &line)>;

    virtual ~SSHRunning() = default;

    // Replaces any child under tunnel.id (without reporting its exit) and spawns a new one; reports connecting,
    // then connected or failed with a reason. Returns the new run's identity: never 0, larger than any before.
    virtual quint64 start(const Tunnel &tunnel) = 0;
    // Ends the child of that id, if any. Reports nothing.
    virtual void stop(const QString &id) = 0;
    // Ends every child. Reports nothing.
    virtual void stopAll() = 0;
    // True while a child is recorded under id and still running.
    virtual bool isRunning(const QString &id) const = 0;

    StatusCallback onStatus;
    LogCallback onLog;
};
