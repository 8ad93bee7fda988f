#include "engine/AppState.h"
#include "model/GeneralSettings.h"
#include "ssh/SSHManager.h"
#include "support/EchoServer.h"
#include "support/FakeDesktopServices.h"
#include "support/FreePort.h"
#include "support/PrivateBus.h"
#include "support/Processes.h"
#include "support/RunnerRecorder.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"
#include "support/TempHome.h"
#include "system/DesktopEvents.h"
#include "system/NetworkWatcher.h"

#include <QtTest>
#include <csignal>
#include <memory>

using namespace TcpRoundTrip;

namespace {

// The real engine on the real runner and the real clock, with its reports written down as they happen.
struct Engine {
    SSHManager ssh;
    std::unique_ptr<AppState> state;
    // Per tunnel: what the engine published ("status" or "status: reason"), repeats folded.
    QHash<QString, QStringList> published;

    explicit Engine(const QList<Tunnel> &tunnels)
    {
        AppStateOptions options;
        options.tunnels = tunnels;
        options.groups = QList<TunnelGroup>();
        options.ssh = &ssh; // starting and stopping never writes the lists
        options.dev = true;
        options.autostart = false;
        state = std::make_unique<AppState>(std::move(options));

        QObject::connect(state.get(), &AppState::tunnelChanged, state.get(), [this](const QString &id) {
            const Tunnel *t = state->tunnel(id);
            const QString text = textOf(t->status) + (t->reason ? QStringLiteral(": ") + *t->reason : QString());
            if (published[id].isEmpty() || published[id].last() != text)
                published[id].append(text);
        });
    }

    ~Engine()
    {
        state.reset();
        ssh.stopAll();
    }

    const Tunnel &t(const QString &id) const { return *state->tunnel(id); }
    TunnelStatus status(const QString &id) const { return t(id).status; }

    // What the engine published and logged about one tunnel, for failure messages.
    QByteArray story(const QString &id) const
    {
        QStringList lines{published.value(id).join(QStringLiteral(" | "))};
        for (const LogLine &line : state->logs(id))
            lines.append(line.text);
        return lines.join(u'\n').toUtf8();
    }
};

} // namespace

// The real runner and the real engine with the real client against a real server. How the runner judges what ssh
// prints is checked on recorded transcripts (tst_ssh_manager); here each kind of forward really carries bytes.
class EngineSshdTest : public QObject {
    Q_OBJECT
private:
    TempHome m_home;
    SshdFixture m_sshd;
    EchoServer m_echo;

    Tunnel forward(const QString &id, TunnelType type = TunnelType::Local) const
    {
        Tunnel t = m_sshd.tunnel(type, id);
        t.bind = QStringLiteral("127.0.0.1");
        t.bindPort = QString::number(freePort());
        t.targetHost = QStringLiteral("127.0.0.1");
        t.targetPort = QString::number(m_echo.port());
        t.autostart = false;
        return t;
    }

private slots:
    void initTestCase()
    {
        SSHD_REQUIRE_OR_SKIP();
        QVERIFY2(m_sshd.start(), qPrintable(m_sshd.error()));
        QVERIFY(m_echo.isListening());
    }

    void runnerForwardsCarryBytesUntilTheServerDropsThem()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);
        const Tunnel local = forward("local");
        const Tunnel remote = forward("remote", TunnelType::Remote);
        const Tunnel socks = forward("socks", TunnelType::Socks);
        // The server is its own jump host: the hop's ssh logs in and enters its session in the same pipe.
        Tunnel jumped = forward("jumped");
        jumped.proxyJump = QStringLiteral("%1@jump:%2").arg(m_sshd.userName()).arg(m_sshd.port());
        const QList<Tunnel> tunnels{local, remote, socks, jumped};
        for (const Tunnel &t : tunnels)
            manager.start(t);

        for (const Tunnel &t : tunnels) {
            QVERIFY2(recorder.waitForStatuses(t.id, 2), qPrintable(recorder.logTexts(t.id).join("\n")));
            QCOMPARE(recorder.statusTexts(t.id), QStringList({"connecting", "connected"}));
        }
        QCOMPARE(roundTrip(local.bindPort.toUShort(), "local"), QByteArray("local"));
        QCOMPARE(roundTrip(remote.bindPort.toUShort(), "remote"), QByteArray("remote"));
        QCOMPARE(socksRoundTrip(socks.bindPort.toUShort(), m_echo.port(), "socks"), QByteArray("socks"));
        QCOMPARE(roundTrip(jumped.bindPort.toUShort(), "through the hop"), QByteArray("through the hop"));

        // The server drops every session: each run fails as disconnected, once, and lets its process object go.
        m_sshd.killSessions();
        for (const Tunnel &t : tunnels) {
            QVERIFY(recorder.waitForStatuses(t.id, 3));
            QCOMPARE(recorder.statusTexts(t.id), QStringList({"connecting", "connected", "failed: Disconnected"}));
        }
        QTRY_COMPARE_WITH_TIMEOUT(manager.findChildren<QProcess *>().size(), 0, 10000);
        QCoreApplication::processEvents();
        for (const Tunnel &t : tunnels)
            QCOMPARE(recorder.statuses(t.id).size(), 3);
    }

    void localForwardProbesTheServerReconnectsAndStopsClean()
    {
        const Tunnel tunnel = forward("db");
        const quint16 port = tunnel.bindPort.toUShort();
        // The -L argument, in the child's /proc cmdline while it runs.
        const QString forwardArgument = tunnel.sshArguments().value(tunnel.sshArguments().indexOf("-L") + 1);
        Engine e({tunnel});
        e.state->start("db");
        QTRY_VERIFY2_WITH_TIMEOUT(e.status("db") == TunnelStatus::Connected, e.story("db"), 20000);
        QCOMPARE(roundTrip(port, "first run"), QByteArray("first run"));

        // Probes time a connection to the SSH server as ssh resolved it, not to the forward: the service behind it
        // sees nothing.
        const int served = m_echo.connectionCount();
        QTRY_VERIFY_WITH_TIMEOUT(!e.t("db").latencyMs.isEmpty(), 20000);
        QCOMPARE(e.state->serverAddress("db"), (ServerAddress{"127.0.0.1", m_sshd.port()}));
        QCOMPARE(m_echo.connectionCount(), served);

        // The server drops the session: the runner reports the drop, the engine turns it into reconnect attempt 1
        // one second later, and the new run carries bytes again.
        const QList<qint64> before = m_sshd.sessionPids();
        m_sshd.killSessions();
        QTRY_VERIFY2_WITH_TIMEOUT(e.published.value("db").size() == 5 && e.status("db") == TunnelStatus::Connected,
                                  e.story("db"), 30000);
        QCOMPARE(e.published.value("db"), QStringList({"connecting", "connected", "failed: Reconnecting in 1s (1/6)",
                                                       "connecting", "connected"}));
        QCOMPARE(e.state->reconnectAttempts("db"), 0);
        // The reconnect started a fresh log: no line of the dropped run is left.
        QVERIFY(!e.state->logs("db").isEmpty());
        for (const LogLine &line : e.state->logs("db"))
            QVERIFY2(!line.text.contains("Killed") && !line.text.contains("closed by"), qPrintable(line.text));
        QCOMPARE(roundTrip(port, "after the drop"), QByteArray("after the drop"));
        QCOMPARE(processesWith(forwardArgument), 1);
        QVERIFY(m_sshd.sessionPids() != before);

        // Stopping leaves no ssh behind. Once the runner has let go of its child, all it said late has been
        // delivered: none of it brings the tunnel back or schedules a reconnect.
        e.state->stop("db");
        QTRY_COMPARE_WITH_TIMEOUT(processesWith(forwardArgument), 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(e.ssh.findChildren<QProcess *>().isEmpty(), 10000);
        QCoreApplication::processEvents();
        QCOMPARE(e.published.value("db").last(), QStringLiteral("idle"));
        QVERIFY(!e.state->hasPendingWork("db") && !e.state->wantsConnection("db"));
    }

    // A laptop moves to another network: the tunnel's TCP session is dead (its server side frozen, so nothing passes
    // and nothing fails), NetworkManager announces a new primary connection, and the tunnel must carry bytes again on
    // a fresh session at once rather than after ssh's keep-alive gives up (about 90 s).
    void newPrimaryConnectionRestartsTheTunnelAtOnce()
    {
        REQUIRE_OR_SKIP(PrivateBus::available(), "dbus-daemon");
        PrivateBus bus;
        QVERIFY2(bus.start(), qPrintable(bus.error()));
        FakeNetworkManager nm(bus.connect(QStringLiteral("nm")));
        QVERIFY(nm.isRegistered());
        const Tunnel tunnel = forward("db");
        Engine e({tunnel});
        GeneralSettings settings(UserDefaults::defaultPath(false));
        const QDBusConnection app = bus.connect(QStringLiteral("app"));
        DesktopEvents events(*e.state, settings, app, app, QStringLiteral("Flumewire"));
        QTRY_VERIFY(events.networkWatcher().isReady());

        e.state->start("db");
        QTRY_VERIFY2_WITH_TIMEOUT(e.status("db") == TunnelStatus::Connected, e.story("db"), 20000);
        const QList<qint64> frozen = m_sshd.sessionPids();
        m_sshd.signalSessions(SIGSTOP);
        auto thaw = qScopeGuard([&] { m_sshd.signalSessions(SIGCONT); });

        e.published["db"].clear();
        nm.setPrimaryConnection(QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/7"));
        QTRY_VERIFY2_WITH_TIMEOUT(!e.published.value("db").isEmpty() && e.status("db") == TunnelStatus::Connected,
                                  e.story("db"), 20000);
        QCOMPARE(roundTrip(tunnel.bindPort.toUShort(), "after the change"), QByteArray("after the change"));
        QVERIFY(std::ranges::any_of(m_sshd.sessionPids(), [&](qint64 pid) { return !frozen.contains(pid); }));
    }
};

QTEST_GUILESS_MAIN(EngineSshdTest)
#include "tst_EngineSshd.moc"
