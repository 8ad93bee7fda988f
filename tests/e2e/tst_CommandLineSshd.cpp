#include "model/Store.h"
#include "support/EchoServer.h"
#include "support/FakeSsh.h"
#include "support/FreePort.h"
#include "support/Processes.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"
#include "support/TempHome.h"

#include <QProcess>
#include <QTcpSocket>
#include <QtTest>

namespace {

QProcessEnvironment environment(const TempHome &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.dataHome());
    env.insert("XDG_CONFIG_HOME", home.configHome());
    return env;
}

} // namespace

class CommandLineSshdTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SSHD_REQUIRE_OR_SKIP(); }

    void upCarriesBytesHoldsTheLockAndStopsOnSigterm()
    {
        TempHome home;
        SshdFixture sshd;
        QVERIFY2(sshd.start(), qPrintable(sshd.error()));
        EchoServer echo;
        QVERIFY(echo.isListening());
        Tunnel t = sshd.tunnel(TunnelType::Local, "db");
        const quint16 port = freePort();
        t.bindPort = QString::number(port);
        t.targetHost = "127.0.0.1";
        t.targetPort = QString::number(echo.port());
        QVERIFY(Store::save({t}, true));

        QProcess up;
        up.setProcessEnvironment(environment(home));
        QByteArray out;
        connect(&up, &QProcess::readyReadStandardOutput, this, [&] { out += up.readAllStandardOutput(); });
        up.start(QStringLiteral(FLUMEWIRE_BINARY), {"up", "--verbose", "db"});
        QTRY_VERIFY_WITH_TIMEOUT(out.contains(" db connected\n"), 20000);
        QVERIFY(out.contains(" db connecting\n"));
        QVERIFY(out.contains(" db | "));

        QCOMPARE(TcpRoundTrip::roundTrip(port, "through flumewire up"), QByteArray("through flumewire up"));

        // A second engine on the same data folder refuses to start and names the holder.
        QProcess second;
        second.setProcessEnvironment(environment(home));
        second.start(QStringLiteral(FLUMEWIRE_BINARY), {"up", "db"});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(QString::fromUtf8(second.readAllStandardError()).contains(QString::number(up.processId())));

        const QString forward = QStringLiteral("127.0.0.1:%1:127.0.0.1:%2").arg(port).arg(echo.port());
        QCOMPARE(processesWith(forward), 1);
        up.terminate();
        QVERIFY(up.waitForFinished(20000));
        QCOMPARE(up.exitStatus(), QProcess::NormalExit);
        QCOMPARE(up.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(processesWith(forward), 0, 5000);
    }

    void upKeepsTryingUntilTheServerComesUp()
    {
        // As at boot: the server is not up yet when `up` starts (its port is reserved, its configuration not even
        // written). With --attempts, up gives up and fails; by default it keeps trying and connects once it is up.
        TempHome home;
        SshdFixture sshd;
        EchoServer echo;
        QVERIFY(echo.isListening());
        const quint16 serverPort = freePort();
        Tunnel t = sshd.tunnel(TunnelType::Local, "db");
        t.sshPort = QString::number(serverPort);
        const quint16 port = freePort();
        t.bindPort = QString::number(port);
        t.targetHost = "127.0.0.1";
        t.targetPort = QString::number(echo.port());
        QVERIFY(Store::save({t}, true));

        QProcess limited;
        limited.setProcessEnvironment(environment(home));
        limited.start(QStringLiteral(FLUMEWIRE_BINARY), {"up", "--attempts", "2", "db"});
        QVERIFY(limited.waitForFinished(30000));
        const QByteArray said = limited.readAllStandardOutput();
        QVERIFY2(said.contains(" db failed: Reconnecting in 2s (2/2)\n"), said.constData());
        QVERIFY2(said.contains(" db gave up\n"), said.constData());
        QCOMPARE(limited.exitCode(), 1);

        QProcess up;
        up.setProcessEnvironment(environment(home));
        QByteArray out;
        connect(&up, &QProcess::readyReadStandardOutput, this, [&] { out += up.readAllStandardOutput(); });
        up.start(QStringLiteral(FLUMEWIRE_BINARY), {"up", "db"});
        QTRY_VERIFY2_WITH_TIMEOUT(out.contains(" db failed: Reconnecting in 2s (attempt 2)\n"), out.constData(), 20000);
        QVERIFY2(sshd.start(serverPort), qPrintable(sshd.error()));
        QTRY_VERIFY2_WITH_TIMEOUT(out.contains(" db connected\n"), out.constData(), 40000);
        QCOMPARE(TcpRoundTrip::roundTrip(port, "after the server came up"), QByteArray("after the server came up"));
        up.terminate();
        QVERIFY(up.waitForFinished(20000));
        QCOMPARE(up.exitCode(), 0);
    }

    void importAndConnectionTest()
    {
        TempHome home;
        const QString config = home.write("ssh_config", "Host db db-alias\n"
                                                        "HostName 10.1.2.3\n"
                                                        "User deploy\n"
                                                        "LocalForward 5432 localhost:5432\n"
                                                        "DynamicForward 127.0.0.1:1080\n"
                                                        "Host *.internal\n"
                                                        "LocalForward 9000 localhost:9000\n");
        QProcess p;
        p.setProcessEnvironment(environment(home));
        p.start(QStringLiteral(FLUMEWIRE_BINARY), {"import", config, "--dry-run", "--json"});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 0);
        const std::optional<QList<Tunnel>> proposed = Store::decodeTunnels(p.readAllStandardOutput());
        QVERIFY(proposed);
        QCOMPARE(proposed->size(), 2);
        QCOMPARE(proposed->at(0).id, QStringLiteral("ssh-db-l-5432"));
        QCOMPARE(proposed->at(1).id, QStringLiteral("ssh-db-socks-1080"));
        QCOMPARE(proposed->at(0).user, QStringLiteral("deploy"));
        QVERIFY(!QFile::exists(Store::tunnelsPath(true))); // a dry run writes nothing

        p.start(QStringLiteral(FLUMEWIRE_BINARY), {"import", config});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("imported 2 of 2 tunnels\n"));
        p.start(QStringLiteral(FLUMEWIRE_BINARY), {"import", config});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("imported 0 of 2 tunnels\n"));
        const std::optional<QList<Tunnel>> saved = Store::readTunnels(true);
        QVERIFY(saved);
        QCOMPARE(saved->last().id, QStringLiteral("ssh-db-socks-1080"));
        QVERIFY(!saved->last().autostart);

        // The connection test runs the client with the fixture's configuration in front of its arguments.
        SshdFixture sshd;
        QVERIFY2(sshd.start(), qPrintable(sshd.error()));
        FakeSsh client;
        Tunnel good = sshd.tunnel(TunnelType::Local, "good");
        Tunnel closed = good;
        closed.id = "closed";
        closed.sshPort = QString::number(freePort());
        QVERIFY(Store::save({good, closed}, true));
        QProcessEnvironment env = environment(home);
        env.insert("FLUMEWIRE_SSH", client.realClientWithConfig(sshd.sshConfigPath()));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(FLUMEWIRE_BINARY), {"test", "good"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("Connected\n"));
        QCOMPARE(p.exitCode(), 0);
        p.start(QStringLiteral(FLUMEWIRE_BINARY), {"test", "closed"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("Connection refused\n"));
        QCOMPARE(p.exitCode(), 1);
    }
};

QTEST_GUILESS_MAIN(CommandLineSshdTest)
#include "tst_CommandLineSshd.moc"
