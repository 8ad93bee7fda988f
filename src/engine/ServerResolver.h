#pragma once

#include "engine/TunnelRun.h"
#include "model/Tunnel.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Finds the SSH server a tunnel's ssh really connects to, as ssh itself resolves it: `ssh -G` with the tunnel's own
// command line (so -F, -p, -J and extra options count as they do for the real run) prints the HostName and Port an
// alias stands for. Through a jump host the first TCP connection goes to the first hop, which is resolved the same
// way; a ProxyCommand hides the server, so there is none.
class QObject;

namespace ServerResolver {

using Completion = std::function<void(std::optional<ServerAddress>)>;

// Starts the lookup on the calling thread's event loop and returns at once; done runs exactly once, later, on that
// thread. A run of ssh that has not answered after timeoutMs is killed and yields none. A lookup still running when
// its owner is destroyed goes with it: its ssh is killed and done is never called, so no child outlives the owner.
void resolve(const QString &sshProgram, const Tunnel &record, Completion done, int timeoutMs = 5000,
             QObject *owner = nullptr);

// What `ssh -G` printed, read: the server, the first hop to resolve next, or neither.
struct Reading {
    std::optional<ServerAddress> server;
    // The first hop of a ProxyJump, as "[user@]host[:port]" pieces.
    std::optional<QString> hopHost;
    std::optional<quint16> hopPort;
};
Reading read(const QByteArray &output);

// The arguments that make ssh print the configuration for a first hop, keeping the tunnel's -F file.
QStringList hopArguments(const QStringList &tunnelArguments, const QString &host, std::optional<quint16> port);

} // namespace ServerResolver
