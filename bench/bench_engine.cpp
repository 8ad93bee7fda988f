#include "BenchTimer.h"
#include "NullRunner.h"
#include "engine/AppState.h"
#include "engine/ManualClock.h"
#include "ssh/SSHRunning.h"

#include <QCoreApplication>

namespace {

QList<Tunnel> makeTunnels(int count, bool autostart)
{
    QList<Tunnel> tunnels;
    for (int i = 0; i < count; ++i) {
        Tunnel t;
        t.id = QStringLiteral("t%1").arg(i);
        t.name = QStringLiteral("Tunnel %1").arg(i);
        t.host = QStringLiteral("host%1.example").arg(i);
        t.bindPort = QString::number(20000 + i);
        t.targetHost = QStringLiteral("db");
        t.targetPort = QStringLiteral("5432");
        t.autostart = autostart;
        tunnels.append(t);
    }
    return tunnels;
}

AppStateOptions optionsFor(const QList<Tunnel> &tunnels, SSHRunning *runner, Clock *clock)
{
    AppStateOptions o;
    o.tunnels = tunnels;
    o.groups = QList<TunnelGroup>();
    o.ssh = runner;
    o.clock = clock;
    o.persist = [](const QList<Tunnel> &) { return WriteResult(); };
    o.groupsPersist = [](const QList<TunnelGroup> &) { return WriteResult(); };
    o.probe = [](const QString &, quint16, double, std::function<void(std::optional<double>)>) {};
    o.resolveServer = [](const Tunnel &, std::function<void(std::optional<ServerAddress>)> done) {
        done(ServerAddress{QStringLiteral("127.0.0.1"), 22});
    };
    return o;
}

} // namespace

// Main-thread cost of the one-second tick with 200 connected tunnels (with a view-like receiver of the per-tunnel
// signal), and of creating the state with 200 tunnels that start at once.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = 200;

    {
        NullRunner runner;
        ManualClock clock;
        AppState state(optionsFor(makeTunnels(count, true), &runner, &clock));
        for (const Tunnel &t : makeTunnels(count, false))
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
        const QList<Tunnel> tunnels = makeTunnels(count, true);
        const auto creation = measureMicros(30, [&] {
            NullRunner runner;
            AppState state(optionsFor(tunnels, &runner, nullptr));
            QCoreApplication::processEvents();
        });
        report("create with 200 autostart tunnels until the event loop is free (median)",
               percentile(creation, 0.5) / 1000.0, "ms");
    }
    return 0;
}
