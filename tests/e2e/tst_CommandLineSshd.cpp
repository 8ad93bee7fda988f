#include "model/Store.h"
#include "support/EchoServer.h"
#include "support/FakeSsh.h"
#include "support/FlumewireProcess.h"
#include "support/FreePort.h"
#include "support/Processes.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"
#include "support/TempHome.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

// `flumewire ARGS` on the throw-away home, with a stand-in ssh when one is given.
struct Flumewire : FlumewireProcess {
    Flumewire(const TempHome &home, const QStringList &args, const QString &ssh = {})
        : FlumewireProcess(args, [&] {
              QProcessEnvironment env = environment(home);
              if (!ssh.isEmpty())
                  env.insert("FLUMEWIRE_SSH", ssh);
              return env;
          }())
    {
    }
};

} // namespace

class CommandLineSshdTest : public QObject {
    Q_OBJECT
private:
    EchoServer m_echo;

    // The one tunnel "db" to the server's port, saved to the home's store; its local port.
    quint16 saveForward(const SshdFixture &sshd, quint16 serverPort = 0)
    {
        Tunnel t = sshd.tunnel(TunnelType::Local, "db");
        if (serverPort != 0)
            t.sshPort = QString::number(serverPort);
        const quint16 port = freePort();
        t.bindPort = QString::number(port);
        t.targetHost = "127.0.0.1";
        t.targetPort = QString::number(m_echo.port());
        return Store::save({t}, FlumewireProcess::dev()) ? port : 0;
    }

private slots:
    void initTestCase() { SSHD_REQUIRE_OR_SKIP(); }

    void upCarriesBytesHoldsTheLockAndStopsOnSigterm()
    {
        TempHome home;
        SshdFixture sshd;
        QVERIFY2(sshd.start(), qPrintable(sshd.error()));
        const quint16 port = saveForward(sshd);
        Flumewire up(home, {"up", "--verbose", "db"});
        QTRY_VERIFY_WITH_TIMEOUT(up.out.contains(" db connected\n"), 20000);
        QVERIFY(up.out.contains(" db connecting\n"));
        QVERIFY(up.out.contains(" db | "));
        QCOMPARE(TcpRoundTrip::roundTrip(port, "through flumewire up"), QByteArray("through flumewire up"));

        // A second engine on the same data folder refuses to start and names the holder.
        Flumewire second(home, {"up", "db"});
        QCOMPARE(second.finish(), 1);
        QVERIFY(second.err.contains(QString::number(up.processId())));

        const QString forward = QStringLiteral("127.0.0.1:%1:127.0.0.1:%2").arg(port).arg(m_echo.port());
        QCOMPARE(processesWith(forward), 1);
        QVERIFY(up.stop());
        QTRY_COMPARE_WITH_TIMEOUT(processesWith(forward), 0, 5000);
    }

    void upKeepsTryingUntilTheServerComesUp()
    {
        // As at boot: the server is not up yet when `up` starts (its port is reserved, its configuration not even
        // written). With --attempts, up gives up and fails; by default it keeps trying and connects once it is up.
        TempHome home;
        SshdFixture sshd;
        const quint16 serverPort = freePort();
        const quint16 port = saveForward(sshd, serverPort);

        Flumewire limited(home, {"up", "--attempts", "2", "db"});
        QCOMPARE(limited.finish(), 1);
        QVERIFY2(limited.out.contains(" db failed: Reconnecting in 2s (2/2)\n"), qPrintable(limited.out));
        QVERIFY2(limited.out.contains(" db gave up\n"), qPrintable(limited.out));

        Flumewire up(home, {"up", "db"});
        QTRY_VERIFY2_WITH_TIMEOUT(up.out.contains(" db failed: Reconnecting in 1s (attempt 1)\n"), qPrintable(up.out),
                                  20000);
        QVERIFY2(sshd.start(serverPort), qPrintable(sshd.error()));
        QTRY_VERIFY2_WITH_TIMEOUT(up.out.contains(" db connected\n"), qPrintable(up.out), 40000);
        QCOMPARE(TcpRoundTrip::roundTrip(port, "after the server came up"), QByteArray("after the server came up"));
        QVERIFY(up.stop());
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
            Flumewire test(home, {"test", c.id}, c.ssh);
            QCOMPARE(test.finish(), c.status);
            QCOMPARE(test.out, c.said);
        }
    }
};

QTEST_GUILESS_MAIN(CommandLineSshdTest)
#include "tst_CommandLineSshd.moc"
