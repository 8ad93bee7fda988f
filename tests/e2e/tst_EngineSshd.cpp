#include "engine/AppState.h"
#include "model/GeneralSettings.h"
#include "ssh/SSHManager.h"
#include "support/EchoServer.h"
#include "support/FakeDesktopServices.h"
#include "support/FreePort.h"
#include "support/PrivateBus.h"
#include "support/Processes.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"
#include "support/TempHome.h"
#include "system/DesktopEvents.h"
#include "system/NetworkWatcher.h"

#include <QtTest>
#include <csignal>

using namespace TcpRoundTrip;

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

    // Every kind of forward carries bytes; then one local tunnel is walked through a laptop's day: probes, a server
    // that drops the session, a move to another network, and a stop.
    void forwardsCarryBytesThenOneProbesReconnectsFollowsTheNetworkAndStopsClean()
    {
        REQUIRE_OR_SKIP(PrivateBus::available(), "dbus-daemon");
        PrivateBus bus;
        QVERIFY2(bus.start(), qPrintable(bus.error()));
        FakeNetworkManager nm(bus.connect(QStringLiteral("nm")));
        QVERIFY(nm.isRegistered());

        const Tunnel tunnel = forward("db");
        const Tunnel remote = forward("remote", TunnelType::Remote);
        const Tunnel socks = forward("socks", TunnelType::Socks);
        // The server is its own jump host: the hop's ssh logs in and enters its session in the same pipe.
        Tunnel jumped = forward("jumped");
        jumped.proxyJump = QStringLiteral("%1@jump:%2").arg(m_sshd.userName()).arg(m_sshd.port());
        const quint16 port = tunnel.bindPort.toUShort();
        // The -L argument, in the child's /proc cmdline while it runs.
        const QString forwardArgument = tunnel.sshArguments().value(tunnel.sshArguments().indexOf("-L") + 1);
        SSHManager ssh;
        // What the engine published ("status" or "status: reason"), repeats folded.
        QStringList published;
        AppStateOptions options;
        options.tunnels = QList<Tunnel>{tunnel, remote, socks, jumped};
        options.groups = QList<TunnelGroup>();
        options.ssh = &ssh; // starting and stopping never writes the lists
        options.dev = true;
        options.autostart = false;
        AppState state(std::move(options));
        QObject::connect(&state, &AppState::tunnelChanged, &state, [&] {
            const Tunnel *t = state.tunnel("db");
            const QString text = textOf(t->status) + (t->reason ? ": " + *t->reason : QString());
            if (published.isEmpty() || published.last() != text)
                published.append(text);
        });
        const auto connected = [&](const QString &id = "db") {
            return state.tunnel(id)->status == TunnelStatus::Connected;
        };
        // What the engine published and logged, for failure messages.
        const auto story = [&] {
            QString text = published.join(" | ");
            for (const LogLine &line : state.logs("db"))
                text += '\n' + line.text;
            return text.toUtf8();
        };
        GeneralSettings settings(UserDefaults::defaultPath(false));
        const QDBusConnection app = bus.connect(QStringLiteral("app"));
        DesktopEvents events(state, settings, app, app, QStringLiteral("Flumewire"));
        QTRY_VERIFY(events.networkWatcher().isReady());

        const QStringList ids{"db", "remote", "socks", "jumped"};
        for (const QString &id : ids)
            state.start(id);
        for (const QString &id : ids)
            QTRY_VERIFY2_WITH_TIMEOUT(connected(id), qPrintable(id + ": " + state.tunnel(id)->reason.value_or("")),
                                      20000);
        QCOMPARE(roundTrip(port, "first run"), QByteArray("first run"));
        QCOMPARE(roundTrip(remote.bindPort.toUShort(), "remote"), QByteArray("remote"));
        QCOMPARE(socksRoundTrip(socks.bindPort.toUShort(), m_echo.port(), "socks"), QByteArray("socks"));
        QCOMPARE(roundTrip(jumped.bindPort.toUShort(), "through the hop"), QByteArray("through the hop"));
        for (const QString &id : ids.mid(1))
            state.stop(id);

        // Probes time a connection to the SSH server as ssh resolved it, not to the forward: the service behind it
        // sees nothing.
        const int served = m_echo.connectionCount();
        QTRY_VERIFY_WITH_TIMEOUT(!state.tunnel("db")->latencyMs.isEmpty(), 20000);
        QCOMPARE(state.serverAddress("db"), (ServerAddress{"127.0.0.1", m_sshd.port()}));
        // A probe through the forward would reach the service before this later round trip does.
        QCOMPARE(roundTrip(port, "probed"), QByteArray("probed"));
        QCOMPARE(m_echo.connectionCount(), served + 1);

        // The server drops the session: the runner reports the drop, the engine turns it into reconnect attempt 1
        // one second later, and the new run carries bytes again.
        m_sshd.killSessions();
        QTRY_VERIFY2_WITH_TIMEOUT(published.size() == 5 && connected(), story(), 30000);
        QCOMPARE(published, QStringList({"connecting", "connected", "failed: Reconnecting in 1s (1/6)", "connecting",
                                         "connected"}));
        QCOMPARE(state.reconnectAttempts("db"), 0);
        // The reconnect started a fresh log: no line of the dropped run is left.
        for (const LogLine &line : state.logs("db"))
            QVERIFY2(!line.text.contains("Killed") && !line.text.contains("closed by"), qPrintable(line.text));
        QCOMPARE(roundTrip(port, "after the drop"), QByteArray("after the drop"));

        // A move to another network: the TCP session is dead (its server side frozen, so nothing passes and nothing
        // fails), NetworkManager announces a new primary connection, and the tunnel must carry bytes again on a fresh
        // session at once rather than after ssh's keep-alive gives up (about 90 s).
        m_sshd.signalSessions(SIGSTOP);
        auto thaw = qScopeGuard([&] { m_sshd.signalSessions(SIGCONT); });
        published.clear();
        nm.setPrimaryConnection(QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/7"));
        QTRY_VERIFY2_WITH_TIMEOUT(!published.isEmpty() && connected(), story(), 20000);
        QCOMPARE(roundTrip(port, "after the change"), QByteArray("after the change"));
        QTRY_COMPARE(processesWith(forwardArgument), 1);

        // Stopping leaves no ssh behind. Once the runner has let go of its child, all it said late has been
        // delivered: none of it brings the tunnel back or schedules a reconnect.
        state.stop("db");
        QTRY_COMPARE_WITH_TIMEOUT(processesWith(forwardArgument), 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(ssh.findChildren<QProcess *>().isEmpty(), 10000);
        QCoreApplication::processEvents();
        QCOMPARE(published.last(), QStringLiteral("idle"));
        QVERIFY(!state.hasPendingWork("db") && !state.wantsConnection("db"));
    }
};

QTEST_GUILESS_MAIN(EngineSshdTest)
#include "tst_EngineSshd.moc"
