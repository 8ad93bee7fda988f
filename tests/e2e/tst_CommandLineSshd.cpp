#include "model/Store.h"
#include "support/EchoServer.h"
#include "support/FakeSsh.h"
#include "support/FlumewireProcess.h"
#include "support/FreePort.h"
#include "support/Processes.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

class CommandLineSshdTest : public QObject {
    Q_OBJECT
private:
    EchoServer m_echo;

private slots:
    void initTestCase() { SSHD_REQUIRE_OR_SKIP(); }

    // As at boot, the server is not up yet when `up` starts (its port is reserved, its configuration not even
    // written): with --attempts, up gives up and fails; by default it keeps trying and connects once the server is
    // up, carries bytes, holds the lock, and leaves no ssh behind when stopped.
    void upConnectsOnceTheServerIsUpAndStopsOnSigterm()
    {
        TempHome home;
        SshdFixture sshd;
        Tunnel t = sshd.tunnel(TunnelType::Local, "db");
        t.sshPort = QString::number(freePort());
        const quint16 port = freePort();
        t.bindPort = QString::number(port);
        t.targetHost = "127.0.0.1";
        t.targetPort = QString::number(m_echo.port());
        QVERIFY(Store::save({t}, FlumewireProcess::dev()));
        const QProcessEnvironment env = FlumewireProcess::environment(home);
        const FlumewireRun limited({"up", "--attempts", "2", "db"}, env);
        QVERIFY2(limited.status == 1 && limited.out.contains(" db failed: Reconnecting in 2s (2/2)\n") &&
                     limited.out.contains(" db gave up\n"),
                 qPrintable(limited.out));

        FlumewireProcess up({"up", "--verbose", "db"}, env);
        QTRY_VERIFY2_WITH_TIMEOUT(up.out.contains(" db failed: Reconnecting in 1s (attempt 1)\n"), qPrintable(up.out),
                                  20000);
        QVERIFY2(sshd.start(t.sshPort.toUShort()), qPrintable(sshd.error()));
        QTRY_VERIFY2_WITH_TIMEOUT(up.out.contains(" db connected\n"), qPrintable(up.out), 40000);
        QVERIFY(up.out.contains(" db connecting\n") && up.out.contains(" db | "));
        QCOMPARE(TcpRoundTrip::roundTrip(port, "through flumewire up"), QByteArray("through flumewire up"));

        // A second engine on the same data folder refuses to start and names the holder.
        const FlumewireRun second({"up", "db"}, env);
        QVERIFY2(second.status == 1 && second.err.contains(QString::number(up.processId())), qPrintable(second.err));

        const QString forward = QStringLiteral("127.0.0.1:%1:127.0.0.1:%2").arg(port).arg(m_echo.port());
        QCOMPARE(processesWith(forward), 1);
        QVERIFY(up.stop());
        QTRY_COMPARE_WITH_TIMEOUT(processesWith(forward), 0, 5000);
    }

    // `test` prints the connection test's verdict and exits 0 only when the client got in.
    void connectionTestVerdicts()
    {
        TempHome home;
        SshdFixture sshd;
        QVERIFY2(sshd.start(), qPrintable(sshd.error()));
        FakeSsh client;
        const QString good = client.realClientWithConfig(sshd.sshConfigPath(), "good");
        const QString wrong = client.realClientWithConfig(sshd.wrongKeySshConfigPath(), "wrong");
        // A server that closes every connection at once: ssh fails with a text no table row knows.
        QTcpServer closer;
        QVERIFY(closer.listen(QHostAddress::LocalHost, 0));
        connect(&closer, &QTcpServer::newConnection, &closer, [&closer] {
            while (QTcpSocket *socket = closer.nextPendingConnection())
                socket->close();
        });
        const struct {
            const char *id;
            quint16 port;
            QString ssh;
            QString said;
            int status;
        } cases[] = {{"good", sshd.port(), good, "Connected\n", 0},
                     {"wrong-key", sshd.port(), wrong, "Permission denied\n", 1},
                     {"refused", freePort(), good, "Connection refused\n", 1},
                     {"closer", closer.serverPort(), good, "Could not connect\n", 1}};
        QList<Tunnel> tunnels;
        for (const auto &c : cases) {
            tunnels << sshd.tunnel(TunnelType::Local, c.id);
            tunnels.last().sshPort = QString::number(c.port);
        }
        QVERIFY(Store::save(tunnels, FlumewireProcess::dev()));
        for (const auto &c : cases) {
            const FlumewireRun test({"test", c.id}, FlumewireProcess::environment(home, c.ssh));
            QCOMPARE(test.status, c.status);
            QCOMPARE(test.out, c.said);
        }
    }
};

QTEST_GUILESS_MAIN(CommandLineSshdTest)
#include "tst_CommandLineSshd.moc"
