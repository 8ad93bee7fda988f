#pragma once

#include <QString>
#include <functional>
#include <optional>

// Measures how long a TCP connection to host:port takes to open.
namespace LatencyProbe {

// Receives the connect time in milliseconds, or none when the connection failed or timed out.
using Completion = std::function<void(std::optional<double> ms)>;

// Starts one probe on the calling thread's event loop and returns at once. The timing starts just before the
// connection attempt (after the name lookup, for a host name) and ends when it is established; done runs exactly once,
// later, on that same thread, whichever of success, failure or the timeout comes first.
void probe(const QString &host, quint16 port, double timeoutSec, Completion done);

} // namespace LatencyProbe
