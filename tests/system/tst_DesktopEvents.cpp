#include "engine/EngineHarness.h"
#include "model/GeneralSettings.h"
#include "support/FakeDesktopServices.h"
#include "support/PrivateBus.h"
#include "support/SmallDisk.h"
#include "support/TempHome.h"
#include "system/DesktopEvents.h"
#include "system/DesktopNotifier.h"
#include "system/LoginItem.h"
#include "system/NetworkWatcher.h"

#include <QDir>
#include <QtTest>

using S = TunnelStatus;

namespace {

// The engine with fakes, the settings in a throw-away home, and the desktop events on a private bus.
struct World {
    TempHome home;
    EngineHarness engine;
    GeneralSettings settings{UserDefaults::defaultPath(false)};
    std::unique_ptr<DesktopEvents> events;

    explicit World(const QList<Tunnel> &tunnels) : engine(tunnels, {}, false) {}

    void attach(const QDBusConnection &bus)
    {
        events = std::make_unique<DesktopEvents>(*engine.state, settings, bus, bus, QStringLiteral("Flumewire"));
    }
    void connect(const QString &id)
    {
        engine.state->start(id);
        engine.runner.report(id, S::Connected);
    }
    // A tunnel that connected once, then dropped: failed, wanted, waiting out its back-off.
    void dropped(const QString &id)
    {
        connect(id);
        engine.runner.exitWith(id, QStringLiteral("Disconnected"));
    }
    // Every tunnel as "id status starts", with "pending" while a retry waits.
    QString summary()
    {
        QStringList out;
        for (const Tunnel &t : engine.state->tunnels())
            out << QStringLiteral("%1 %2 %3%4")
                       .arg(t.id, textOf(t.status))
                       .arg(engine.runner.startsOf(t.id))
                       .arg(engine.state->hasPendingWork(t.id) ? " pending" : "");
        return out.join(", ");
    }
};

} // namespace

class TestDesktopEvents : public QObject {
    Q_OBJECT
private:
    PrivateBus m_bus;

private slots:
    void initTestCase()
    {
        REQUIRE_OR_SKIP(PrivateBus::available(), "dbus-daemon");
        QVERIFY2(m_bus.start(), qPrintable(m_bus.error()));
    }

    void loginItemAndSettingsAreKept()
    {
        TempHome home;
        // Each setting is written as it is set; a value of the wrong type reads as the default.
        GeneralSettings settings(UserDefaults::defaultPath(false));
        QVERIFY(settings.setNotifyOnConnect(false) && settings.setNotifyOnDisconnect(true) &&
                settings.setDisconnectOnSleep(false) && settings.setAppearance(Appearance::Dark));
        QVERIFY(settings.defaults().setValue(UserDefaults::reconnectOnWakeKey, QStringLiteral("no")));
        GeneralSettings again(UserDefaults::defaultPath(false));
        QCOMPARE((QList<int>{again.notifyOnConnect(), again.notifyOnDisconnect(), again.disconnectOnSleep(),
                             again.reconnectOnWake(), int(again.appearance())}),
                 (QList<int>{false, true, false, true, int(Appearance::Dark)}));

        // A program path with a space and a dollar sign survives the entry's quoting rules.
        LoginItem item(QStringLiteral("/opt/Flume wire/$bin/flumewire"));
        QCOMPARE(item.setEnabled(true), std::nullopt);
        const QByteArray entry = readFile(LoginItem::defaultPath());
        QVERIFY2(entry.startsWith("[Desktop Entry]\nType=Application\n") &&
                     entry.contains("\nExec=\"/opt/Flume wire/\\\\$bin/flumewire\"\n"),
                 entry.constData());

        // An entry switched off inside counts as off; switching on writes a working one again. Off twice is no error.
        writeFile(LoginItem::defaultPath(), entry + "Hidden=true\n");
        QVERIFY(!item.isEnabled());
        QVERIFY(!item.setEnabled(true) && item.isEnabled());
        QVERIFY(!item.setEnabled(false) && !item.setEnabled(false) && !item.isEnabled());

        SmallDisk disk;
        SMALL_DISK_OR_SKIP(disk);
        disk.fill();
        LoginItem full(QStringLiteral("/usr/bin/flumewire"), disk.path() + QStringLiteral("/flumewire.desktop"));
        QVERIFY2(full.setEnabled(true).has_value(), "a write to a full disk reported success");
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files), QStringList());
    }

    void notificationsOnConnectDisconnectAndSaveFailure()
    {
        // Without a notification service nothing is posted, and nothing fails.
        QVERIFY(!DesktopNotifier(m_bus.connect(QStringLiteral("no-service")), QStringLiteral("Flumewire")).notify("x"));
        QVERIFY(!DesktopNotifier(QDBusConnection(QStringLiteral("never-connected")), QStringLiteral("x")).notify("x"));

        FakeNotifications service(m_bus.connect(QStringLiteral("notifications")));
        Tunnel a = makeTunnel("a");
        a.name = QStringLiteral("Staging DB");
        World w({a, makeTunnel("b", TunnelType::Socks)});
        w.attach(m_bus.connect(QStringLiteral("app-notify")));
        w.connect("a");

        // Disconnect notices are off by default; a user's stop never gives one. The notice says what the popover says
        // (here the reconnect that follows the drop).
        w.engine.runner.exitWith("a", QStringLiteral("Connection refused"));
        w.settings.setNotifyOnDisconnect(true);
        w.connect("b");
        w.engine.state->stop("b");
        w.connect("a");
        w.engine.runner.exitWith("a", QStringLiteral("Host key verification failed"));
        w.settings.setNotifyOnConnect(false);
        w.connect("b");
        w.events->saveFailed(QStringLiteral("No space left on device"));
        QTRY_COMPARE(service.texts, (QStringList{"Flumewire: Staging DB connected | 127.0.0.1:9000 → db.internal:5432",
                                                 "Flumewire: Tunnel b connected | 127.0.0.1:9000 → SOCKS",
                                                 "Flumewire: Staging DB connected | 127.0.0.1:9000 → db.internal:5432",
                                                 "Flumewire: Staging DB disconnected | Reconnecting in 1s (1/6)",
                                                 "Flumewire: Could not save tunnels: No space left on device | "}));
    }

    // Sleep stops the wanted tunnels and the wake brings them back; another network restarts the connected ones and
    // retries the failed ones at once. "Disconnect on sleep" and "reconnect on wake" switch their parts off.
    void sleepWakeAndNetworkChanges()
    {
        FakeLogind logind(m_bus.connect(QStringLiteral("logind")));
        FakeNetworkManager nm(m_bus.connect(QStringLiteral("nm")));
        World w({makeTunnel("on"), makeTunnel("retrying"), makeTunnel("off"), makeTunnel("gaveUp")});
        w.connect("on");
        w.dropped("retrying");
        w.engine.state->start("gaveUp");
        w.engine.state->stop("gaveUp");
        QCOMPARE(w.summary(), "on connected 1, retrying failed 1 pending, off idle 0, gaveUp idle 1");
        w.attach(m_bus.connect(QStringLiteral("app")));
        QTRY_VERIFY(w.events->networkWatcher().isReady());
        QCOMPARE(w.events->networkWatcher().connectivity(), NetworkWatcher::connectivityFull);
        // The machine waits for us: a delay lock is held while "disconnect on sleep" is on.
        QTRY_COMPARE(logind.locksHeld(), 1);

        logind.prepareForSleep(true);
        QTRY_COMPARE(w.summary(), "on idle 1, retrying idle 1, off idle 0, gaveUp idle 1");
        QVERIFY(w.engine.runner.running.isEmpty());
        QTRY_COMPARE(logind.locksHeld(), 0);
        logind.prepareForSleep(false);
        QTRY_COMPARE(w.summary(), "on connecting 2, retrying connecting 2, off idle 0, gaveUp idle 1");
        QTRY_COMPARE(logind.locksHeld(), 1);

        w.engine.runner.report("on", S::Connected);
        w.engine.runner.exitWith("retrying", QStringLiteral("Network is unreachable"));
        nm.setPrimaryConnection(QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/2"));
        QTRY_COMPARE(w.summary(), "on connecting 3, retrying connecting 3, off idle 0, gaveUp idle 1");

        // Losing the network changes nothing; getting it back retries what failed meanwhile.
        w.engine.runner.report("on", S::Connected);
        w.engine.runner.exitWith("retrying", QStringLiteral("Network is unreachable"));
        nm.setConnectivity(1);
        nm.setPrimaryConnection(QStringLiteral("/"));
        nm.setConnectivity(NetworkWatcher::connectivityFull);
        QTRY_COMPARE(w.summary(), "on connected 3, retrying connecting 4, off idle 0, gaveUp idle 1");

        // Without "disconnect on sleep" the lock goes and tunnels keep running through the sleep; the connected ones
        // start afresh after the wake (their sessions are gone).
        w.engine.runner.report("retrying", S::Connected);
        w.settings.setDisconnectOnSleep(false);
        QTRY_COMPARE(logind.locksHeld(), 0);
        logind.prepareForSleep(true);
        logind.prepareForSleep(false);
        QTRY_COMPARE(w.summary(), "on connecting 4, retrying connecting 5, off idle 0, gaveUp idle 1");

        // Without "reconnect on wake" they stay down after the wake, and network changes are left to ssh and the
        // back-off.
        w.settings.setDisconnectOnSleep(true);
        w.settings.setReconnectOnWake(false);
        QTRY_COMPARE(logind.locksHeld(), 1);
        logind.prepareForSleep(true);
        QTRY_COMPARE(w.summary(), "on idle 4, retrying idle 5, off idle 0, gaveUp idle 1");
        logind.prepareForSleep(false);
        QTRY_COMPARE(logind.locksHeld(), 1);
        QCOMPARE(w.summary(), "on idle 4, retrying idle 5, off idle 0, gaveUp idle 1");
        w.connect("on");
        w.dropped("retrying");
        // The last change noticed proves the ones before it were delivered too.
        QSignalSpy restored(&w.events->networkWatcher(), &NetworkWatcher::connectivityRestored);
        nm.setPrimaryConnection(QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/3"));
        nm.setConnectivity(2);
        nm.setConnectivity(NetworkWatcher::connectivityFull);
        QVERIFY(restored.wait());
        QCOMPARE(w.summary(), "on connected 5, retrying failed 6 pending, off idle 0, gaveUp idle 1");
    }
};

QTEST_GUILESS_MAIN(TestDesktopEvents)
#include "tst_DesktopEvents.moc"
