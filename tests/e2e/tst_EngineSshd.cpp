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
        options.ssh = &ssh;
        options.persist = [](const QList<Tunnel> &) { return WriteResult(); };
        options.groupsPersist = [](const QList<TunnelGroup> &) { return WriteResult(); };
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

// The -L/-R/-D argument of the tunnel's ssh command line: present in the child's /proc cmdline while it runs.
QString forwardArgument(const Tunnel &tunnel)
{
    const QStringList args = tunnel.sshArguments();
    const qsizetype at = args.indexOf(QRegularExpression(QStringLiteral("^-[LRD]$")));
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
}

} // namespace

class EngineSshdTest : public QObject {
    Q_OBJECT
private:
    TempHome m_home;
    SshdFixture m_sshd;
    EchoServer m_echo;

    Tunnel forward(TunnelType type, const QString &id) const
    {
        Tunnel t = m_sshd.tunnel(type, id);
        t.bind = QStringLiteral("127.0.0.1");
        t.bindPort = QString::number(freePort());
        if (type != TunnelType::Socks) {
            t.targetHost = QStringLiteral("127.0.0.1");
            t.targetPort = QString::number(m_echo.port());
        }
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

    void localForwardCarriesBytesAndReconnectsAfterADrop()
    {
        const Tunnel tunnel = forward(TunnelType::Local, "db");
        const quint16 port = tunnel.bindPort.toUShort();
        Engine e({tunnel});

        e.state->start("db");
        QTRY_VERIFY2_WITH_TIMEOUT(e.status("db") == TunnelStatus::Connected, e.story("db"), 20000);
        QVERIFY(e.state->everConnected("db"));
        QCOMPARE(roundTrip(port, "first run"), QByteArray("first run"));
        QCOMPARE(processesWith(forwardArgument(tunnel)), 1);

        // The server drops the session: the runner reports the drop, the engine turns it into reconnect attempt 1
        // one second later, on the primary, and the new run carries bytes again.
        const QList<qint64> before = m_sshd.sessionPids();
        QVERIFY(!before.isEmpty());
        m_sshd.killSessions();
        QTRY_VERIFY2_WITH_TIMEOUT(e.published.value("db").size() == 5 && e.status("db") == TunnelStatus::Connected,
                                  e.story("db"), 30000);
        QCOMPARE(e.published.value("db"), QStringList({"connecting", "connected", "failed: Reconnecting in 1s (1/6)",
                                                       "connecting", "connected"}));
        QCOMPARE(e.state->reconnectAttempts("db"), 0);
        QCOMPARE(e.t("db").activeHostIndex, 0);
        QVERIFY(!e.state->hasPendingWork("db"));
        // The reconnect started a fresh log: no line of the dropped run is left.
        QVERIFY(!e.state->logs("db").isEmpty());
        for (const LogLine &line : e.state->logs("db"))
            QVERIFY2(!line.text.contains("Killed") && !line.text.contains("closed by"), qPrintable(line.text));
        QCOMPARE(roundTrip(port, "after the drop"), QByteArray("after the drop"));
        QCOMPARE(processesWith(forwardArgument(tunnel)), 1);
        QVERIFY(m_sshd.sessionPids() != before);
    }

    void deadPrimaryFailsOverToTheBackup()
    {
        Tunnel tunnel = forward(TunnelType::Local, "web");
        tunnel.sshPort = QString::number(freePort()); // nothing listens there: ssh is refused at once
        tunnel.backupHost = QStringLiteral("127.0.0.1");
        tunnel.backupSshPort = QString::number(m_sshd.port());
        const quint16 port = tunnel.bindPort.toUShort();
        Engine e({tunnel});

        e.state->start("web");
        QTRY_VERIFY2_WITH_TIMEOUT(e.status("web") == TunnelStatus::Connected, e.story("web"), 30000);
        QCOMPARE(e.t("web").activeHostIndex, 1);
        // The refused primary reports twice (the failure line, then the exit); the tunnel never shows failed.
        QCOMPARE(e.published.value("web"),
                 QStringList({"connecting", "connecting: Primary unreachable — trying backup…",
                              "connecting: Connecting via backup…", "connected"}));
        QCOMPARE(e.state->reconnectAttempts("web"), 0);
        QCOMPARE(roundTrip(port, "through the backup"), QByteArray("through the backup"));

        e.state->stop("web");
        QCOMPARE(e.t("web").activeHostIndex, 0);
        QTRY_COMPARE_WITH_TIMEOUT(processesWith(forwardArgument(tunnel)), 0, 10000);
    }

    void latencyForLocalForwardsOnlyAndStoppingLeavesNoChild()
    {
        const QList<Tunnel> tunnels{forward(TunnelType::Local, "local"), forward(TunnelType::Socks, "socks"),
                                    forward(TunnelType::Remote, "remote")};
        Engine e(tunnels);
        for (const Tunnel &t : tunnels)
            e.state->start(t.id);
        for (const Tunnel &t : tunnels)
            QTRY_VERIFY2_WITH_TIMEOUT(e.status(t.id) == TunnelStatus::Connected, e.story(t.id), 20000);

        // Probes time a connection to the SSH server as ssh resolved it, not to the forward: the service behind it
        // sees nothing.
        const int served = m_echo.connectionCount();
        QTRY_VERIFY_WITH_TIMEOUT(!e.t("local").latencyMs.isEmpty(), 20000);
        QCOMPARE(e.state->serverAddress("local"), (ServerAddress{"127.0.0.1", m_sshd.port()}));
        QCOMPARE(m_echo.connectionCount(), served);
        for (const double ms : e.t("local").latencyMs)
            QVERIFY2(ms >= 0 && ms < 2000, qPrintable(QString::number(ms)));
        QVERIFY(e.t("socks").latencyMs.isEmpty());
        QVERIFY(e.t("remote").latencyMs.isEmpty());
        QCOMPARE(roundTrip(tunnels.at(0).bindPort.toUShort(), "after probing"), QByteArray("after probing"));
        QCOMPARE(roundTrip(tunnels.at(2).bindPort.toUShort(), "remote"), QByteArray("remote"));

        for (const Tunnel &t : tunnels) {
            QCOMPARE(processesWith(forwardArgument(t)), 1);
            e.state->stop(t.id);
            QVERIFY(!e.ssh.isRunning(t.id));
            QCOMPARE(e.status(t.id), TunnelStatus::Idle);
            QVERIFY(e.t(t.id).latencyMs.isEmpty());
        }
        for (const Tunnel &t : tunnels)
            QTRY_COMPARE_WITH_TIMEOUT(processesWith(forwardArgument(t)), 0, 10000);
        // Once the runner has let go of every child, all they said late has been delivered: none of it brings a
        // tunnel back or schedules a reconnect.
        QTRY_VERIFY_WITH_TIMEOUT(e.ssh.findChildren<QProcess *>().isEmpty(), 10000);
        QCoreApplication::processEvents();
        for (const Tunnel &t : tunnels) {
            QCOMPARE(e.status(t.id), TunnelStatus::Idle);
            QVERIFY(!e.t(t.id).reason);
            QVERIFY(!e.state->hasPendingWork(t.id));
            QVERIFY(!e.state->wantsConnection(t.id));
        }
        QCOMPARE(e.state->activeCount(), 0);
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
        const Tunnel tunnel = forward(TunnelType::Local, "db");
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
        const QList<qint64> sessions = m_sshd.sessionPids();
        QVERIFY(std::ranges::any_of(sessions, [&](qint64 pid) { return !frozen.contains(pid); }));
    }
};

QTEST_GUILESS_MAIN(EngineSshdTest)
#include "tst_EngineSshd.moc"
