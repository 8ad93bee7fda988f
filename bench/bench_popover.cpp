#include "BenchTimer.h"
#include "NullRunner.h"
#include "SampleWorld.h"
#include "engine/AppState.h"
#include "engine/ManualClock.h"
#include "ssh/SSHRunning.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/PopoverView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <memory>

namespace {

constexpr int kTunnels = 200;
constexpr int kGroups = 10;

struct World {
    NullRunner runner;
    ManualClock clock;
    std::unique_ptr<AppState> state;

    World()
    {
        AppStateOptions o = sampleOptions(sampleTunnels(kTunnels, kGroups), sampleGroups(kGroups), &runner, &clock);
        o.probe = [this](const QString &, quint16, double, std::function<void(std::optional<double>)> done) {
            pending.append(std::move(done));
        };
        state = std::make_unique<AppState>(o);
    }

    // Three ticks (one latency round) and an answer for every probe of it.
    void latencyRound(int round)
    {
        for (int i = 0; i < 3; ++i)
            clock.advance(AppState::tickIntervalMs);
        for (qsizetype k = 0; k < pending.size(); ++k)
            pending.at(k)(20 + (round * 11 + int(k)) % 40);
        pending.clear();
    }

    QList<std::function<void(std::optional<double>)>> pending;

    void connectAll()
    {
        for (const Tunnel &t : QList<Tunnel>(state->tunnels())) {
            state->start(t.id);
            runner.report(t.id, TunnelStatus::Connected);
        }
        clock.advance(AppState::flashMs);
    }
};

// Builds the popover in its root, shows it and lets it paint once.
std::unique_ptr<FWRoot> openPopover(AppState &state)
{
    auto root = std::make_unique<FWRoot>(new PopoverView(state, ViewActions{}), Appearance::Dark);
    root->show();
    QApplication::processEvents();
    return root;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform warns on every window it shows; the figures are what this program prints.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QApplication app(argc, argv);

    {
        World idle;
        openPopover(*idle.state); // warm-up: fonts, icons, style
        const QList<double> open = measureMicros(15, [&] { openPopover(*idle.state); });
        report("popover_open_200_idle_median", percentile(open, 0.5) / 1000, "ms");
        report("popover_open_200_idle_p90", percentile(open, 0.9) / 1000, "ms");
    }

    World live;
    live.connectAll();
    for (int i = 0; i < 6; ++i)
        live.latencyRound(i);
    const QList<double> openConnected = measureMicros(15, [&] { openPopover(*live.state); });
    report("popover_open_200_connected_median", percentile(openConnected, 0.5) / 1000, "ms");
    report("popover_open_200_connected_p90", percentile(openConnected, 0.9) / 1000, "ms");

    // With the popover open: one tick (200 uptimes) and the repaint it causes.
    auto root = openPopover(*live.state);

    // The shell builds its popover once and shows it on each click: showing an already built one.
    const QList<double> reopen = measureMicros(15, [&] {
        root->hide();
        root->show();
        QApplication::processEvents();
    });
    report("popover_reshow_200_connected_median", percentile(reopen, 0.5) / 1000, "ms");

    const QList<double> ticks = measureMicros(60, [&] {
        live.clock.advance(AppState::tickIntervalMs);
        QApplication::processEvents();
    });
    report("tick_200_connected_popover_open_median", percentile(ticks, 0.5), "us");
    report("tick_200_connected_popover_open_p90", percentile(ticks, 0.9), "us");

    // Three seconds: three uptime ticks and one latency sample for every local tunnel (sparklines redrawn).
    int round = 0;
    const QList<double> samples = measureMicros(20, [&] {
        live.latencyRound(++round);
        QApplication::processEvents();
    });
    report("three_ticks_and_latency_round_200_popover_open_median", percentile(samples, 0.5), "us");

    // Reference: the same tick with no popover.
    root.reset();
    QApplication::processEvents();
    const QList<double> bare = measureMicros(60, [&] {
        live.clock.advance(AppState::tickIntervalMs);
        QApplication::processEvents();
    });
    report("tick_200_connected_no_popover_median", percentile(bare, 0.5), "us");
    return 0;
}
