#include "engine/AppState.h"
#include "ssh/SSHManager.h"
#include "support/EchoServer.h"
#include "support/FreePort.h"
#include "support/LogCapture.h"
#include "support/Processes.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"
#include "support/TempHome.h"

#include <QtTest>
#include <memory>

using namespace TcpRoundTrip;

namespace {

// The real engine on the real runner and the real clock, with its reports written down as they happen.
struct Engine {
    SSHManager ssh;
    std::unique_ptr<AppState> state;
    // Per tunnel: what the engine published ("status" or "status: reason"), repeats folded.
    QHash<QString, QStringList> published;
    // Per tunnel: the runner's reports to the engine, in the same form.
    QHash<QString, QStringList> reports;

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

        AppState *s = state.get();
        QObject::connect(s, &AppState::tunnelChanged, s, [this, s](const QString &id) {
            if (const Tunnel *t = s->tunnel(id))
                note(published[id], t->status, t->reason);
        });
        // Sits between the runner and the engine so the reports the engine then rewrites are seen too.
        SSHRunning::StatusCallback engineSide = ssh.onStatus;
        ssh.onStatus = [this, engineSide](const QString &id, quint64 run, TunnelStatus status,
                                          const std::optional<QString> &reason) {
            note(reports[id], status, reason);
            engineSide(id, run, status, reason);
        };
    }

    ~Engine()
    {
        state.reset();
        ssh.stopAll();
    }

    static void note(QStringList &trace, TunnelStatus status, const std::optional<QString> &reason)
    {
        const QString text = reason ? textOf(status) + QStringLiteral(": ") + *reason : textOf(status);
        if (trace.isEmpty() || trace.last() != text)
            trace.append(text);
    }

    const Tunnel &t(const QString &id) const { return *state->tunnel(id); }
    TunnelStatus status(const QString &id) const { return t(id).status; }

    // Everything the engine and the runner said about one tunnel, for failure messages.
    QByteArray story(const QString &id) const
    {
        QStringList lines{QStringLiteral("published: ") + published.value(id).join(QStringLiteral(" | ")),
                          QStringLiteral("reports: ") + reports.value(id).join(QStringLiteral(" | "))};
        for (const LogLine &line : state->logs(id))
            lines.append(line.text);
        return lines.join(u'\n').toUtf8();
    }
};

// The -L/-R/-D argument of the tunnel's ssh command line: present in the child's /proc cmdline while it runs.
QString forwardArgument(const Tunnel &tunnel)
{
    const QStringList args = tunnel.sshArguments();
    for (qsizetype i = 0; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("-L") || args.at(i) == QLatin1String("-R") || args.at(i) == QLatin1String("-D"))
            return args.at(i + 1);
    }
    return {};
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
        LogCapture capture;

        e.state->start("db");
        QTRY_VERIFY2_WITH_TIMEOUT(e.status("db") == TunnelStatus::Connected, e.story("db"), 20000);
        QCOMPARE(e.t("db").activeHostIndex, 0);
        QVERIFY(e.state->everConnected("db"));
        QCOMPARE(roundTrip(port, "first run"), QByteArray("first run"));
        QCOMPARE(processesWith(forwardArgument(tunnel)), 1);

        // The server drops the session: the runner reports the drop, the engine turns it into reconnect attempt 1
        // one second later, on the primary, and the new run carries bytes again.
        const QList<qint64> before = m_sshd.sessionPids();
        QVERIFY(!before.isEmpty());
        m_sshd.killSessions();
        QTRY_VERIFY2_WITH_TIMEOUT(e.reports.value("db").contains("failed: Disconnected"), e.story("db"), 20000);
        QTRY_VERIFY2_WITH_TIMEOUT(e.published.value("db").contains("failed: Reconnecting in 1s (1/6)"), e.story("db"),
                                  20000);
        QTRY_VERIFY2_WITH_TIMEOUT(e.status("db") == TunnelStatus::Connected, e.story("db"), 30000);
        QCOMPARE(e.published.value("db"), QStringList({"connecting", "connected", "failed: Reconnecting in 1s (1/6)",
                                                       "connecting", "connected"}));
        QCOMPARE(e.reports.value("db"),
                 QStringList({"connecting", "connected", "failed: Disconnected", "connecting", "connected"}));
        QCOMPARE(e.state->reconnectAttempts("db"), 0);
        QCOMPARE(e.t("db").activeHostIndex, 0);
        QVERIFY(!e.state->hasPendingWork("db"));
        const QStringList stateLog = capture.messages(Log::Category::State);
        QCOMPARE(stateLog.count(QStringLiteral("auto-reconnect db in 1s (attempt 1)")), 1);
        QCOMPARE(stateLog.count(QStringLiteral("connect db (L) via primary")), 2);
        // The reconnect started a fresh log: no line of the dropped run is left.
        QVERIFY(!e.state->logs("db").isEmpty());
        for (const LogLine &line : e.state->logs("db"))
            QVERIFY2(!line.text.contains("Killed") && !line.text.contains("closed by"), qPrintable(line.text));
        QCOMPARE(roundTrip(port, "after the drop"), QByteArray("after the drop"));
        QCOMPARE(processesWith(forwardArgument(tunnel)), 1);
        QVERIFY(m_sshd.sessionPids() != before);

        e.state->stop("db");
        QTRY_COMPARE_WITH_TIMEOUT(processesWith(forwardArgument(tunnel)), 0, 10000);
    }

    void deadPrimaryFailsOverToTheBackup()
    {
        Tunnel tunnel = forward(TunnelType::Local, "web");
        tunnel.sshPort = QString::number(freePort()); // nothing listens there: ssh is refused at once
        tunnel.backupHost = QStringLiteral("127.0.0.1");
        tunnel.backupSshPort = QString::number(m_sshd.port());
        const quint16 port = tunnel.bindPort.toUShort();
        Engine e({tunnel});
        LogCapture capture;

        e.state->start("web");
        QTRY_VERIFY2_WITH_TIMEOUT(e.status("web") == TunnelStatus::Connected, e.story("web"), 30000);
        QCOMPARE(e.t("web").activeHostIndex, 1);
        // The refused primary reports twice (the failure line, then the exit); the tunnel never shows failed.
        QCOMPARE(e.published.value("web"),
                 QStringList({"connecting", "connecting: Primary unreachable — trying backup…",
                              "connecting: Connecting via backup…", "connected"}));
        QVERIFY(e.reports.value("web").contains("failed: Connection refused"));
        const QStringList stateLog = capture.messages(Log::Category::State);
        QVERIFY(stateLog.contains(QStringLiteral("failover web → backup")));
        QCOMPARE(stateLog.count(QStringLiteral("connect web (L) via primary")), 1);
        QCOMPARE(stateLog.count(QStringLiteral("connect web (L) via backup")), 1);
        QCOMPARE(e.state->reconnectAttempts("web"), 0);
        QCOMPARE(roundTrip(port, "through the backup"), QByteArray("through the backup"));

        // The session on the backup drops while the primary is still dead: the engine fails over to the primary,
        // which refuses (ssh reports that twice: the failure line, then the exit), and then to the backup again.
        e.published["web"].clear();
        capture.clear();
        m_sshd.killSessions();
        QTRY_VERIFY2_WITH_TIMEOUT(e.reports.value("web").contains("failed: Disconnected"), e.story("web"), 20000);
        QTRY_VERIFY2_WITH_TIMEOUT(e.status("web") == TunnelStatus::Connected, e.story("web"), 30000);
        const QStringList seen = e.published.value("web");
        QCOMPARE(seen.mid(seen.indexOf("connecting: Backup unreachable — trying primary…")),
                 QStringList({"connecting: Backup unreachable — trying primary…", "connecting",
                              "connecting: Primary unreachable — trying backup…", "connecting: Connecting via backup…",
                              "connected"}));
        QCOMPARE(e.t("web").activeHostIndex, 1);
        QCOMPARE(e.state->reconnectAttempts("web"), 0);
        QCOMPARE(capture.messages(Log::Category::State).count(QStringLiteral("connect web (L) via backup")), 1);
        QCOMPARE(roundTrip(port, "back on the backup"), QByteArray("back on the backup"));

        e.state->stop("web");
        QCOMPARE(e.t("web").activeHostIndex, 0);
        QTRY_COMPARE_WITH_TIMEOUT(processesWith(forwardArgument(tunnel)), 0, 10000);
    }

    void latencyForLocalForwardsOnlyAndStoppingLeavesNoChild()
    {
        const QList<Tunnel> tunnels{forward(TunnelType::Local, "local"), forward(TunnelType::Socks, "socks"),
                                    forward(TunnelType::Remote, "remote")};
        Engine e(tunnels);
        QSet<QString> sampled;
        connect(e.state.get(), &AppState::tunnelChanged, this, [&](const QString &id) {
            if (!e.t(id).latencyMs.isEmpty())
                sampled.insert(id);
        });

        for (const Tunnel &t : tunnels)
            e.state->start(t.id);
        for (const Tunnel &t : tunnels)
            QTRY_VERIFY2_WITH_TIMEOUT(e.status(t.id) == TunnelStatus::Connected, e.story(t.id), 20000);

        // Probes run on every third connected tick; give the busy machine room for a few rounds. They time a
        // connection to the SSH server as ssh resolved it, not to the forward: the service behind it sees nothing.
        const int served = m_echo.connectionCount();
        QTRY_VERIFY_WITH_TIMEOUT(e.t("local").latencyMs.size() >= 2, 20000);
        QCOMPARE(e.state->serverAddress("local"), (ServerAddress{"127.0.0.1", m_sshd.port()}));
        QCOMPARE(m_echo.connectionCount(), served);
        QVERIFY(e.state->probeCounter() >= 6);
        for (const double ms : e.t("local").latencyMs)
            QVERIFY2(ms >= 0 && ms < 2000, qPrintable(QString::number(ms)));
        QCOMPARE(sampled, QSet<QString>({"local"}));
        QVERIFY(e.t("socks").latencyMs.isEmpty());
        QVERIFY(e.t("remote").latencyMs.isEmpty());
        QCOMPARE(e.status("local"), TunnelStatus::Connected);
        QCOMPARE(roundTrip(tunnels.at(0).bindPort.toUShort(), "after probing"), QByteArray("after probing"));
        QCOMPARE(roundTrip(tunnels.at(2).bindPort.toUShort(), "remote"), QByteArray("remote"));

        for (const Tunnel &t : tunnels)
            QCOMPARE(processesWith(forwardArgument(t)), 1);
        for (const Tunnel &t : tunnels)
            e.state->stop(t.id);
        for (const Tunnel &t : tunnels) {
            QVERIFY(!e.ssh.isRunning(t.id));
            QCOMPARE(e.status(t.id), TunnelStatus::Idle);
            QVERIFY(e.t(t.id).latencyMs.isEmpty());
        }
        for (const Tunnel &t : tunnels)
            QTRY_COMPARE_WITH_TIMEOUT(processesWith(forwardArgument(t)), 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!accepts(tunnels.at(0).bindPort.toUShort()), 10000);

        // Nothing the stopped children said late brings a tunnel back or schedules a reconnect.
        QTest::qWait(1500);
        for (const Tunnel &t : tunnels) {
            QCOMPARE(e.status(t.id), TunnelStatus::Idle);
            QVERIFY(!e.t(t.id).reason);
            QVERIFY(!e.state->hasPendingWork(t.id));
            QVERIFY(!e.state->wantsConnection(t.id));
        }
        QCOMPARE(e.state->activeCount(), 0);
    }
};

QTEST_GUILESS_MAIN(EngineSshdTest)
#include "tst_EngineSshd.moc"
