#pragma once

#include <QtGlobal>
#include <functional>

// Time as the engine sees it: a monotonic "now" and cancellable delayed work on the main thread. Every delay of the
// engine (the uptime tick, the connect flash, failover and reconnect back-off) goes through this, so tests can run
// a 30-second back-off by advancing a manual clock instead of waiting.
class Clock {
public:
    // Identifies one scheduled item; 0 never names one.
    using WorkId = quint64;

    virtual ~Clock() = default;

    // Milliseconds on a monotonic scale (the origin is arbitrary).
    virtual qint64 now() const = 0;
    // Runs work once, delayMs from now.
    virtual WorkId after(qint64 delayMs, std::function<void()> work) = 0;
    // Runs work every intervalMs until cancelled.
    virtual WorkId every(qint64 intervalMs, std::function<void()> work) = 0;
    // Drops the item; unknown, finished or already cancelled ids are ignored.
    virtual void cancel(WorkId id) = 0;
};
