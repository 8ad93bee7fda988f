#include "model/Tunnel.h"
#include "support/WorkedExamples.h"

#include <QDir>
#include <QtTest>

class SSHCommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void workedExamples()
    {
        // The arguments as ssh receives them (joined by "|" so that an empty or split argument shows) and the
        // command as the user reads it.
        const QString head = "-v|-N|-o|ExitOnForwardFailure=yes|-o|BatchMode=yes|";
        const Tunnel local = WorkedExamples::local();
        QCOMPARE(local.sshArguments().join('|'),
                 head +
                     "-L|127.0.0.1:5432:localhost:5432|-o|StrictHostKeyChecking=accept-new|-o|"
                     "ServerAliveInterval=30|-i|" +
                     QDir::homePath() + "/.ssh/id_ed25519|-p|22|deploy@gateway");
        QCOMPARE(local.displayCommand(), "ssh -L 127.0.0.1:5432:localhost:5432 -o ServerAliveInterval=30 "
                                         "-i ~/.ssh/id_ed25519 -p 22 -N deploy@gateway");

        // A keep-alive of 0 adds nothing; the double space in extra yields no empty argument.
        const Tunnel remote = WorkedExamples::remote();
        QCOMPARE(remote.sshArguments().join('|'),
                 head + "-R|localhost:8080:localhost:3000|-C|-o|StrictHostKeyChecking=no|-J|jumphost|-4|-A|-p|2222|"
                        "gateway");
        QCOMPARE(remote.displayCommand(),
                 "ssh -R localhost:8080:localhost:3000 -C -o StrictHostKeyChecking=no -J jumphost -4  -A -p 2222 -N "
                 "gateway");

        // The backup fields never reach the primary's list.
        Tunnel socks = WorkedExamples::socks();
        const QString primary = head + "-D|localhost:1080|-o|StrictHostKeyChecking=accept-new|-p|22|gateway";
        QCOMPARE(socks.sshArguments().join('|'), primary);
        socks.backupHost = "gateway-b";
        QCOMPARE(socks.viaBackup().sshArguments().join('|'), primary + "-b");
        QCOMPARE(socks.sshArguments().join('|'), primary);
    }

    void fieldsUsedAsStored()
    {
        const QStringList applies{"30", "+15", "1", "9223372036854775807"};
        for (const QString &keepAlive :
             applies + QStringList{"abc", " 30", "30 ", "0", "-5", "+", "", "0x10", "9223372036854775808"}) {
            Tunnel t;
            t.host = "h";
            t.keepAlive = keepAlive;
            const QString option = "ServerAliveInterval=" + t.keepAlive;
            QVERIFY2(t.sshArguments().contains(option) == applies.contains(keepAlive), qPrintable(keepAlive));
            QVERIFY2(t.displayCommand().contains("-o " + option) == applies.contains(keepAlive), qPrintable(keepAlive));
        }

        Tunnel t;
        t.host = "h";
        t.bind.clear();
        t.targetPort = "80";
        QVERIFY(t.sshArguments().contains("localhost:80:localhost:80"));
        // Extra words split at spaces only, quotes and tabs kept; blank extra adds nothing.
        const QString tail = "|-p|22|h";
        t.extra = "   ";
        QVERIFY(t.sshArguments().join('|').endsWith("accept-new|-o|ServerAliveInterval=30" + tail));
        t.extra = "-o \"Foo=a b\"\t";
        QVERIFY(t.sshArguments().join('|').endsWith("-o|\"Foo=a|b\"\t" + tail));
        t.extra.clear();
        t.identity = "~/k";
        QVERIFY(t.sshArguments().contains(QDir::homePath() + "/k"));
        QVERIFY(t.displayCommand().contains("-i ~/k"));
        t.user = "a@b";
        QCOMPARE(t.sshArguments().last(), "a@b@h");
        // Checking on is the command's default, so the command the user reads leaves it out.
        QVERIFY(!t.displayCommand().contains("StrictHostKeyChecking"));
        t.sshPort.clear();
        QVERIFY(t.sshArguments().join('|').endsWith("|-p||a@b@h"));
    }
};

QTEST_GUILESS_MAIN(SSHCommandLineTest)
#include "tst_SSHCommandLine.moc"
