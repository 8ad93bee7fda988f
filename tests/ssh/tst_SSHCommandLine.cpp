#include "model/Tunnel.h"
#include "support/WorkedExamples.h"

#include <QDir>
#include <QtTest>

class SSHCommandLineTest : public QObject {
    Q_OBJECT
private:
    static QStringList head() { return {"-v", "-N", "-o", "ExitOnForwardFailure=yes", "-o", "BatchMode=yes"}; }

private slots:
    void workedExamples()
    {
        const Tunnel local = WorkedExamples::local();
        QStringList expected = head() + QStringList{"-L",
                                                    "127.0.0.1:5432:localhost:5432",
                                                    "-o",
                                                    "StrictHostKeyChecking=accept-new",
                                                    "-o",
                                                    "ServerAliveInterval=30",
                                                    "-i",
                                                    QDir::homePath() + "/.ssh/id_ed25519",
                                                    "-p",
                                                    "22",
                                                    "deploy@gateway"};
        QCOMPARE(local.sshArguments(), expected);
        QCOMPARE(local.displayCommand(),
                 QStringLiteral("ssh -L 127.0.0.1:5432:localhost:5432 -o ServerAliveInterval=30 "
                                "-i ~/.ssh/id_ed25519 -p 22 -N deploy@gateway"));

        // A keep-alive of 0 adds nothing; the double space in extra yields no empty argument.
        const Tunnel remote = WorkedExamples::remote();
        expected = head() + QStringList{"-R",
                                        "localhost:8080:localhost:3000",
                                        "-C",
                                        "-o",
                                        "StrictHostKeyChecking=no",
                                        "-J",
                                        "jumphost",
                                        "-4",
                                        "-A",
                                        "-p",
                                        "2222",
                                        "gateway"};
        QCOMPARE(remote.sshArguments(), expected);
        QCOMPARE(remote.displayCommand(),
                 QStringLiteral("ssh -R localhost:8080:localhost:3000 -C -o "
                                "StrictHostKeyChecking=no -J jumphost -4  -A -p 2222 -N gateway"));

        Tunnel socks = WorkedExamples::socks();
        expected = head() +
                   QStringList{"-D", "localhost:1080", "-o", "StrictHostKeyChecking=accept-new", "-p", "22", "gateway"};
        QCOMPARE(socks.sshArguments(), expected);
        socks.backupHost = "gateway-b";
        QStringList backup = expected;
        backup.last() = "gateway-b";
        QCOMPARE(socks.viaBackup().sshArguments(), backup);
        QCOMPARE(socks.sshArguments(), expected); // the backup fields never reach the primary's list
        socks.bindPort.clear();
        QVERIFY(socks.sshArguments().contains("localhost:"));
    }

    void keepAliveRule_data()
    {
        QTest::addColumn<QString>("keepAlive");
        QTest::addColumn<bool>("applies");
        QTest::newRow("30") << "30" << true;
        QTest::newRow("+15") << "+15" << true;
        QTest::newRow("1") << "1" << true;
        QTest::newRow("abc") << "abc" << false;
        QTest::newRow("leading space") << " 30" << false;
        QTest::newRow("trailing space") << "30 " << false;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("-5") << "-5" << false;
        QTest::newRow("sign only") << "+" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("overflow") << "9223372036854775808" << false;
        QTest::newRow("max") << "9223372036854775807" << true;
        QTest::newRow("hex") << "0x10" << false;
    }
    void keepAliveRule()
    {
        QFETCH(QString, keepAlive);
        QFETCH(bool, applies);
        Tunnel t;
        t.host = "h";
        t.keepAlive = keepAlive;
        const QString option = "ServerAliveInterval=" + keepAlive;
        QCOMPARE(t.sshArguments().contains(option), applies);
        QCOMPARE(t.displayCommand().contains("-o " + option), applies);
    }

    void fieldsUsedAsStored()
    {
        Tunnel t;
        t.type = TunnelType::Local;
        t.host = "h";
        t.bind.clear();
        t.targetPort = "80";
        QVERIFY(t.sshArguments().contains("localhost:80:localhost:80"));

        t.extra = "   ";
        QCOMPARE(t.sshArguments().size(), 6 + 2 + 2 + 2 + 2 + 1);
        t.extra = "-o Foo=a b";
        QVERIFY(t.sshArguments().join('|').contains("-o|Foo=a|b|-p"));
        t.extra = "-o \"Foo=a b\"\t";
        QVERIFY(t.sshArguments().join('|').contains("-o|\"Foo=a|b\"\t|-p"));
        t.extra.clear();

        t.identity = "/keys/k";
        QVERIFY(t.sshArguments().contains("/keys/k"));
        t.identity = "~/k";
        QVERIFY(t.sshArguments().contains(QDir::homePath() + "/k"));
        QVERIFY(t.displayCommand().contains("-i ~/k"));

        t.user = "a@b";
        QCOMPARE(t.sshArguments().last(), QStringLiteral("a@b@h"));

        t.strictHostKey = true;
        QVERIFY(!t.displayCommand().contains("StrictHostKeyChecking"));
        QVERIFY(t.sshArguments().contains("StrictHostKeyChecking=accept-new"));

        t.sshPort.clear();
        const QStringList args = t.sshArguments();
        QCOMPARE(args.at(args.size() - 2), QString());
    }
};

QTEST_GUILESS_MAIN(SSHCommandLineTest)
#include "tst_SSHCommandLine.moc"
