#pragma once

#include <QProcess>
#include <functional>

// The one way Flumewire starts and ends the programs it runs (ssh, ssh -G lookups, the login test, proxy tools):
// a child is tied to our lifetime, is asked to end with SIGTERM and is killed when it has not ended after a grace
// period.
namespace ChildProcess {

// A child that ignores SIGTERM is killed after this long.
inline constexpr int killGraceMs = 3000;

// Runs in the child between fork and exec: the child gets SIGTERM when Flumewire dies, however it dies, so no ssh is
// left holding a port. If the parent is already gone by then, it ends at once.
std::function<void()> setup();

// Asks a child that is no longer wanted to end, kills it after the grace period and deletes the process object once
// it has exited (so it is reaped and its pipes closed). Never blocks.
void end(QProcess *process);

// For worker threads, which may block: waits up to timeoutMs for the child to finish; a child still running then is
// ended (SIGTERM, then SIGKILL after the grace period). True when it finished by itself within the time.
bool finishWithin(QProcess &process, int timeoutMs);

} // namespace ChildProcess
