#include "app/AppDelegate.h"
#include "app/CardWindow.h"
#include "app/PopoverWindow.h"
#include "engine/EventLoopClock.h"
#include "model/Store.h"
#include "ssh/SSHManager.h"
#include "support/EchoServer.h"
#include "support/FakeSsh.h"
#include "support/FreePort.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"
#include "ui/UiDriver.h"
#include "ui/controls/Disclosure.h"
#include "ui/views/PopoverView.h"
#include "ui/views/TestConnectionButton.h"
#include "ui/views/TunnelRow.h"

using namespace Qt::StringLiterals;

// A user creates a tunnel in the editor against a real sshd: tests the login, saves, and switches it on from the
// popover; bytes then go through the forward.
class TestEditorSshd : public QObject {
    Q_OBJECT
private slots:
    void createTestSaveAndConnectFromTheEditor()
    {
        SSHD_REQUIRE_OR_SKIP();
        TempHome home;
        SshdFixture sshd;
        QVERIFY2(sshd.start(), qPrintable(sshd.error()));
        EchoServer echo;
        FakeSsh client;

        AppDelegate::Parts parts;
        parts.runner = std::make_unique<SSHManager>();
        parts.clock = std::make_unique<EventLoopClock>();
        // The one-shot test passes no extra flags, so the client it runs carries the fixture's configuration.
        parts.sshProgram = client.realClientWithConfig(sshd.sshConfigPath());
        parts.configure = [](AppStateOptions &options) {
            options.tunnels = QList<Tunnel>();
            options.groups = QList<TunnelGroup>();
            options.autostart = false;
        };
        AppDelegate app(std::move(parts));
        app.launch();
        auto stopAll = qScopeGuard([&] { app.shutDown(); });
        Coordinator &coordinator = app.coordinator();

        coordinator.newTunnel();
        auto editor = coordinator.card(Coordinator::Slot::Editor)->findChild<EditorSheet *>();
        QVERIFY(editor);
        auto type = [&](const QString &field, const QString &text) {
            editor->shownField(field)->selectAll();
            QTest::keyClicks(editor->shownField(field), text);
        };
        const quint16 localPort = freePort();
        type("Name", "Echo");
        type("SSH server host", "127.0.0.1");
        type("Service port", QString::number(echo.port()));
        type("Local bind host", "127.0.0.1");
        type("Local port", QString::number(localPort));
        QTest::mouseClick(editor->advanced()->header(), Qt::LeftButton);
        type("SSH port", QString::number(sshd.port()));
        type("Username", sshd.userName());
        type("Extra flags", "-F " + sshd.sshConfigPath());

        QTest::mouseClick(editor->testButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(editor->testButton()->shownText(), u"Connected"_s, 30000);

        QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
        QTRY_VERIFY(!coordinator.card(Coordinator::Slot::Editor));
        const std::optional<QList<Tunnel>> written = Store::readTunnels(true);
        QVERIFY(written && written->size() == 1 && written->first().name == u"Echo"_s);
        const QString id = written->first().id;

        auto popover = coordinator.popover()->findChild<PopoverView *>();
        QTest::mouseClick(popover->row(id)->toggle(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(app.state().tunnel(id)->status, TunnelStatus::Connected, 20000);
        QCOMPARE(TcpRoundTrip::roundTrip(localPort, "through the editor's tunnel"), "through the editor's tunnel");
    }
};

QTEST_MAIN(TestEditorSshd)
#include "tst_EditorSshd.moc"
