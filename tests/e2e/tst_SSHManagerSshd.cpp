#include "ssh/SSHManager.h"
#include "support/EchoServer.h"
#include "support/FakeSsh.h"
#include "support/FreePort.h"
#include "support/LogCapture.h"
#include "support/RunnerRecorder.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace TcpRoundTrip;

class SSHManagerSshdTest : public QObject {
    Q_OBJECT
private:
    SshdFixture m_sshd;
    EchoServer m_echo;

    Tunnel forward(TunnelType type, const QString &id, quint16 bindPort) const
    {
        Tunnel t = m_sshd.tunnel(type, id);
        t.bind = QStringLiteral("127.0.0.1");
        t.bindPort = QString::number(bindPort);
        t.targetHost = QStringLiteral("127.0.0.1");
        t.targetPort = QString::number(m_echo.port());
        return t;
    }

    static int processObjects(const SSHManager &manager) { return manager.findChildren<QProcess *>().size(); }

private slots:
    void initTestCase()
    {
        SSHD_REQUIRE_OR_SKIP();
        QVERIFY2(m_sshd.start(), qPrintable(m_sshd.error()));
        QVERIFY(m_echo.isListening());
    }

    void forwardsConnectAndCarryBytes()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);

        const quint16 localPort = freePort();
        const quint16 remotePort = freePort();
        const quint16 socksPort = freePort();
        manager.start(forward(TunnelType::Local, "local", localPort));
        manager.start(forward(TunnelType::Remote, "remote", remotePort));
        manager.start(forward(TunnelType::Socks, "socks", socksPort));

        for (const QString id : {"local", "remote", "socks"}) {
            QVERIFY2(
                recorder.waitForStatus(id, TunnelStatus::Connected),
                qPrintable(id + ": " + recorder.statusTexts(id).join(", ") + "\n" + recorder.logTexts(id).join("\n")));
            QCOMPARE(recorder.statusTexts(id), QStringList({"connecting", "connected"}));
            QVERIFY(manager.isRunning(id));
        }
        QCOMPARE(roundTrip(localPort, "through the local forward"), QByteArray("through the local forward"));
        QCOMPARE(roundTrip(remotePort, "through the remote forward"), QByteArray("through the remote forward"));
        QCOMPARE(socksRoundTrip(socksPort, m_echo.port(), "through the SOCKS proxy"),
                 QByteArray("through the SOCKS proxy"));
        QVERIFY(recorder.onMainThread());

        // Stopping reports nothing, ends the children and lets the process objects go.
        LogCapture capture;
        manager.stopAll();
        QVERIFY(!manager.isRunning("local"));
        QTRY_COMPARE_WITH_TIMEOUT(processObjects(manager), 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!accepts(localPort), 10000);
        QCoreApplication::processEvents();
        QCOMPARE(recorder.statuses("local").size(), 2);
        QCOMPARE(recorder.statuses("remote").size(), 2);
        QCOMPARE(recorder.statuses("socks").size(), 2);
        QCOMPARE(capture.messages(Log::Category::Ssh), QStringList());
    }

    void busyPortsFailWithoutConnecting()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);

        QTcpServer localSquatter;
        QVERIFY(localSquatter.listen(QHostAddress::LocalHost, 0));
        manager.start(forward(TunnelType::Local, "busy-local", localSquatter.serverPort()));

        // The server binds remote forwards on every loopback address, so take the port on both.
        QTcpServer remoteSquatter4;
        QTcpServer remoteSquatter6;
        QVERIFY(remoteSquatter4.listen(QHostAddress::LocalHost, 0));
        remoteSquatter6.listen(QHostAddress::LocalHostIPv6, remoteSquatter4.serverPort());
        manager.start(forward(TunnelType::Remote, "busy-remote", remoteSquatter4.serverPort()));

        QVERIFY(recorder.waitForStatuses("busy-local", 3));
        QTRY_VERIFY_WITH_TIMEOUT(!manager.isRunning("busy-local"), 10000);
        QCOMPARE(recorder.statusTexts("busy-local"),
                 QStringList({"connecting", "failed: Local port already in use", "failed: Local port already in use"}));

        QVERIFY2(recorder.waitForStatuses("busy-remote", 3), qPrintable(recorder.logTexts("busy-remote").join("\n")));

        // ssh announces both before it knows the forward failed: a connected phrase alone proves nothing.
        const auto firstLine = [&recorder](const QString &id, const QString &pattern) {
            const QStringList lines = recorder.logTexts(id);
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (lines.at(i).contains(pattern))
                    return i;
            }
            return qsizetype(-1);
        };
        const qsizetype announced = firstLine("busy-local", "Local forwarding listening");
        QVERIFY(announced >= 0);
        QVERIFY(announced < firstLine("busy-local", "Address already in use"));
        const qsizetype entered = firstLine("busy-remote", "Entering interactive session");
        QVERIFY(entered >= 0);
        QVERIFY(entered < firstLine("busy-remote", "remote port forwarding failed"));
        QCOMPARE(recorder.statusTexts("busy-remote"),
                 QStringList({"connecting", "failed: Remote forwarding failed", "failed: Remote forwarding failed"}));
    }

    void connectionFailuresNameTheirReason()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);

        Tunnel wrongKey = forward(TunnelType::Local, "wrong-key", freePort());
        wrongKey.extra = QStringLiteral("-F ") + m_sshd.wrongKeySshConfigPath();
        manager.start(wrongKey);

        Tunnel closed = forward(TunnelType::Local, "closed", freePort());
        closed.sshPort = QString::number(freePort());
        manager.start(closed);

        // A name in the reserved .invalid domain never resolves. Its first label is longer than DNS allows (63), so
        // the resolver rejects it before sending any query: no traffic leaves this machine.
        Tunnel unknown = forward(TunnelType::Local, "unknown", freePort());
        unknown.host = QString(64, QLatin1Char('x')) + QStringLiteral(".invalid");
        unknown.extra = QStringLiteral("-F /dev/null");
        manager.start(unknown);

        const QList<std::pair<QString, QString>> expected{
            {"wrong-key", "Permission denied"}, {"closed", "Connection refused"}, {"unknown", "Host not found"}};
        for (const auto &[id, reason] : expected) {
            QVERIFY2(recorder.waitForStatuses(id, 3, 30000), qPrintable(recorder.logTexts(id).join("\n")));
            QCOMPARE(recorder.statusTexts(id), QStringList({"connecting", "failed: " + reason, "failed: " + reason}));
        }
    }

    void droppedSessionAndReplacement()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);
        LogCapture capture;

        // Starting a running id again replaces its child and never reports the old child's exit.
        const Tunnel tunnel = forward(TunnelType::Local, "dropped", freePort());
        manager.start(tunnel);
        QVERIFY(recorder.waitForStatus("dropped", TunnelStatus::Connected));
        manager.start(tunnel);
        QVERIFY(capture.contains("stop dropped"));
        QVERIFY(recorder.waitForStatuses("dropped", 4));
        QTRY_COMPARE_WITH_TIMEOUT(processObjects(manager), 1, 10000);
        QCoreApplication::processEvents();
        QCOMPARE(recorder.statusTexts("dropped"), QStringList({"connecting", "connected", "connecting", "connected"}));
        QCOMPARE(roundTrip(tunnel.bindPort.toUShort(), "after replacement"), QByteArray("after replacement"));

        // The server drops the session: the tunnel fails as disconnected.
        m_sshd.killSessions();
        QVERIFY(recorder.waitForStatuses("dropped", 5));
        QCOMPARE(recorder.statusTexts("dropped").last(), QStringLiteral("failed: Disconnected"));
        QVERIFY(!manager.isRunning("dropped"));
        QVERIFY(
            capture.messages(Log::Category::Ssh).contains(QStringLiteral("exited dropped code=255 established=true")));
        QTRY_COMPARE_WITH_TIMEOUT(processObjects(manager), 0, 10000);
    }

    void connectionTestVerdicts()
    {
        FakeSsh scripts;
        const QString good = scripts.realClientWithConfig(m_sshd.sshConfigPath(), "ssh-good");
        const QString wrong = scripts.realClientWithConfig(m_sshd.wrongKeySshConfigPath(), "ssh-wrong");

        // A server that closes every connection at once: ssh fails with a text no table row knows.
        QTcpServer closer;
        QVERIFY(closer.listen(QHostAddress::LocalHost, 0));
        connect(&closer, &QTcpServer::newConnection, &closer, [&closer] {
            while (QTcpSocket *socket = closer.nextPendingConnection()) {
                socket->close();
                socket->deleteLater();
            }
        });

        struct Case {
            QString program;
            QString port;
            bool ok;
            QString message;
        };
        const QList<Case> cases{{good, QString::number(m_sshd.port()), true, "Connected"},
                                {wrong, QString::number(m_sshd.port()), false, "Permission denied"},
                                {good, QString::number(closer.serverPort()), false, "Could not connect"}};
        for (const Case &c : cases) {
            Tunnel t = m_sshd.tunnel(TunnelType::Local, "tested");
            t.sshPort = c.port;
            int calls = 0;
            bool ok = !c.ok;
            QString message;
            SSHManager::test(
                t,
                [&](bool o, QString m) {
                    ++calls;
                    ok = o;
                    message = m;
                },
                c.program);
            QCOMPARE(calls, 0);
            QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 30000);
            QCOMPARE(message, c.message);
            QCOMPARE(ok, c.ok);
            QTest::qWait(50);
            QCOMPARE(calls, 1);
        }
    }
};

QTEST_GUILESS_MAIN(SSHManagerSshdTest)
#include "tst_SSHManagerSshd.moc"
