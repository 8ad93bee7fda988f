#include "engine/AppState.h"
#include "model/GeneralSettings.h"
#include "ssh/SSHManager.h"
#include "support/EchoServer.h"
#include "support/FakeDesktopServices.h"
#include "support/FreePort.h"
#include "support/PrivateBus.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"
#include "support/TempHome.h"
#include "system/DesktopEvents.h"
#include "system/NetworkWatcher.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>
#include <csignal>
#include <memory>

using namespace TcpRoundTrip;

namespace {

// A process and everything below it, from /proc.
QList<qint64> withDescendants(qint64 pid)
{
    QList<qint64> all{pid};
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(tid + QStringLiteral("/children")));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &piece : file.readAll().split(' ')) {
            bool ok = false;
            const qint64 child = piece.trimmed().toLongLong(&ok);
            if (ok)
                all << withDescendants(child);
        }
    }
    return all;
}

} // namespace

// A laptop moves to another network: the tunnel's TCP session is dead (its server-side session is frozen here, so
// nothing passes and nothing fails), NetworkManager announces a new primary connection, and the tunnel must carry
// bytes again on a fresh session at once rather than after ssh's keep-alive gives up.
class TestNetworkChangeSshd : public QObject {
    Q_OBJECT
private:
    TempHome m_home;
    SshdFixture m_sshd;
    EchoServer m_echo;
    PrivateBus m_bus;

private slots:
    void initTestCase()
    {
        SSHD_REQUIRE_OR_SKIP();
        if (!PrivateBus::available()) {
            if (qEnvironmentVariable("CI") == QLatin1String("true"))
                QFAIL("dbus-daemon is missing: install dbus-daemon (tools/packages.sh lists it)");
            QSKIP("dbus-daemon is missing");
        }
        QVERIFY2(m_sshd.start(), qPrintable(m_sshd.error()));
        QVERIFY2(m_bus.start(), qPrintable(m_bus.error()));
        QVERIFY(m_echo.isListening());
    }

    void newPrimaryConnectionRestartsTheTunnelAtOnce()
    {
        Tunnel tunnel = m_sshd.tunnel(TunnelType::Local, QStringLiteral("db"));
        tunnel.bind = QStringLiteral("127.0.0.1");
        tunnel.bindPort = QString::number(freePort());
        tunnel.targetHost = QStringLiteral("127.0.0.1");
        tunnel.targetPort = QString::number(m_echo.port());
        const quint16 port = tunnel.bindPort.toUShort();

        FakeNetworkManager nm(m_bus.connect(QStringLiteral("nm")));
        QVERIFY(nm.isRegistered());
        SSHManager ssh;
        AppStateOptions options;
        options.tunnels = QList<Tunnel>{tunnel};
        options.groups = QList<TunnelGroup>();
        options.ssh = &ssh;
        options.persist = [](const QList<Tunnel> &) { return WriteResult{}; };
        options.groupsPersist = [](const QList<TunnelGroup> &) { return WriteResult{}; };
        options.autostart = false;
        auto state = std::make_unique<AppState>(std::move(options));
        GeneralSettings settings(UserDefaults::defaultPath(false));
        const QDBusConnection bus = m_bus.connect(QStringLiteral("app"));
        DesktopEvents events(*state, settings, bus, bus, QStringLiteral("Flumewire"));
        QTRY_VERIFY(events.networkWatcher().isReady());
        auto cleanup = qScopeGuard([&] {
            state.reset();
            ssh.stopAll();
        });

        state->start(QStringLiteral("db"));
        QTRY_COMPARE_WITH_TIMEOUT(state->tunnel(QStringLiteral("db"))->status, TunnelStatus::Connected, 20000);
        QCOMPARE(roundTrip(port, "before"), QByteArray("before"));

        // The old path goes dead without a sound.
        const QList<qint64> frozen = m_sshd.sessionPids();
        QVERIFY(!frozen.isEmpty());
        QList<qint64> stopped;
        for (qint64 pid : frozen)
            stopped << withDescendants(pid);
        for (qint64 pid : std::as_const(stopped))
            ::kill(pid_t(pid), SIGSTOP);
        auto thaw = qScopeGuard([&] {
            for (qint64 pid : std::as_const(stopped))
                ::kill(pid_t(pid), SIGCONT);
        });

        QStringList trace;
        QObject::connect(state.get(), &AppState::tunnelChanged, state.get(), [&](const QString &id) {
            const Tunnel *t = state->tunnel(id);
            const QString text = textOf(t->status) + (t->reason ? QStringLiteral(": ") + *t->reason : QString());
            if (trace.isEmpty() || trace.last() != text)
                trace << text;
        });
        QElapsedTimer sinceChange;
        sinceChange.start();
        nm.setPrimaryConnection(QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/7"));
        QTRY_VERIFY_WITH_TIMEOUT(state->tunnel(QStringLiteral("db"))->status != TunnelStatus::Connected, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(state->tunnel(QStringLiteral("db"))->status, TunnelStatus::Connected, 20000);
        QCOMPARE(roundTrip(port, "after the change"), QByteArray("after the change"));
        const qint64 elapsed = sinceChange.elapsed();
        const QList<qint64> sessions = m_sshd.sessionPids();
        QVERIFY(std::any_of(sessions.cbegin(), sessions.cend(), [&](qint64 pid) { return !frozen.contains(pid); }));
        qInfo("after the change: %s", qPrintable(trace.join(QStringLiteral(" | "))));
        qInfo("network change to bytes flowing again: %lld ms (ssh alone notices a dead session after its keep-alive "
              "gives up: about 90000 ms with ServerAliveInterval 30 and ServerAliveCountMax 3)",
              elapsed);
    }
};

QTEST_GUILESS_MAIN(TestNetworkChangeSshd)
#include "tst_NetworkChangeSshd.moc"
