#include "BenchTimer.h"
#include "NullRunner.h"
#include "SampleWorld.h"
#include "engine/AppState.h"
#include "engine/ManualClock.h"
#include "ssh/SSHRunning.h"

#include <QCoreApplication>

// Main-thread cost of the one-second tick with 200 connected tunnels (with a view-like receiver of the per-tunnel
// signal), and of creating the state with 200 tunnels that start at once.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = 200;

    {
        NullRunner runner;
        ManualClock clock;
        AppState state(sampleOptions(sampleTunnels(count, 0, true), {}, &runner, &clock));
        for (const Tunnel &t : sampleTunnels(count))
            runner.report(t.id, TunnelStatus::Connected);
        qint64 redraws = 0;
        QObject::connect(&state, &AppState::tunnelChanged, &state,
                         [&redraws](const QString &id) { redraws += id.size(); });
        QObject::connect(&state, &AppState::uptimeTicked, &state, [&redraws] { ++redraws; });
        const auto ticks = measureMicros(3000, [&] { clock.advance(AppState::tickIntervalMs); });
        report("tick with 200 connected tunnels and their signals (median)", percentile(ticks, 0.5), "us");
        report("tick with 200 connected tunnels and their signals (p90)", percentile(ticks, 0.9), "us");
    }

    {
        const QList<Tunnel> tunnels = sampleTunnels(count, 0, true);
        const auto creation = measureMicros(30, [&] {
            NullRunner runner;
            AppState state(sampleOptions(tunnels, {}, &runner, nullptr));
            QCoreApplication::processEvents();
        });
        report("create with 200 autostart tunnels until the event loop is free (median)",
               percentile(creation, 0.5) / 1000.0, "ms");
    }
    return 0;
}
