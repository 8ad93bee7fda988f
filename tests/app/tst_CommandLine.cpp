#include "model/Store.h"
#include "support/TempHome.h"
#include "support/WorkedExamples.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

namespace {

struct Result {
    int status = -1;
    QString out;
    QString err;
};

Result runFlumewire(const QStringList &args, const TempHome &home)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.dataHome());
    env.insert("XDG_CONFIG_HOME", home.configHome());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(FLUMEWIRE_BINARY), args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The worked examples saved in the development build's tunnels file; the SOCKS one has a backup and a group.
QList<Tunnel> workedExamples()
{
    QList<Tunnel> tunnels = WorkedExamples::all();
    tunnels[2].backupHost = "gateway-b";
    tunnels[2].groupId = "g1";
    return tunnels;
}

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void listAndArguments()
    {
        TempHome home;
        QVERIFY(Store::save(workedExamples(), true));
        QVERIFY(Store::saveGroups({{"g1", "Group", 0}}, true));
        const QByteArray file = [] {
            QFile f(Store::url(true));
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();

        Result r = runFlumewire({"list", "--json"}, home);
        QCOMPARE(r.status, 0);
        QCOMPARE(Store::decodeTunnels(r.out.toUtf8()), Store::decodeTunnels(file));

        r = runFlumewire({"list"}, home);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.split('\n').first(), QStringLiteral("db  L  DB  127.0.0.1:5432 \u2192 localhost:5432"));
        QVERIFY(r.out.contains(QStringLiteral("proxy  SOCKS  Proxy  localhost:1080 \u2192 dynamic")));

        const QString head = "/usr/bin/ssh\n-v\n-N\n-o\nExitOnForwardFailure=yes\n-o\nBatchMode=yes\n";
        r = runFlumewire({"args", "db"}, home);
        QCOMPARE(r.out, head +
                            "-L\n127.0.0.1:5432:localhost:5432\n-o\nStrictHostKeyChecking=accept-new\n-o\n"
                            "ServerAliveInterval=30\n-i\n" +
                            QDir::homePath() + "/.ssh/id_ed25519\n-p\n22\ndeploy@gateway\n");
        r = runFlumewire({"args", "web"}, home);
        QCOMPARE(r.out, head + "-R\nlocalhost:8080:localhost:3000\n-C\n-o\nStrictHostKeyChecking=no\n-J\njumphost\n"
                               "-4\n-A\n-p\n2222\ngateway\n");
        r = runFlumewire({"args", "--backup", "proxy"}, home);
        QCOMPARE(r.out, head + "-D\nlocalhost:1080\n-o\nStrictHostKeyChecking=accept-new\n-p\n22\ngateway-b\n");
        r = runFlumewire({"command", "web"}, home);
        QCOMPARE(r.out, QStringLiteral("ssh -R localhost:8080:localhost:3000 -C -o StrictHostKeyChecking=no -J "
                                       "jumphost -4  -A -p 2222 -N gateway\n"));

        // Nothing above changed the file.
        QFile f(Store::url(true));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), file);
    }

    void badInputExitsTwo()
    {
        TempHome home;
        QVERIFY(Store::save(workedExamples(), true));
        const QList<QStringList> bad{{"args", "nope"},
                                     {"command"},
                                     {"list", "--jsn"},
                                     {"frobnicate"},
                                     {"args", "db", "web"},
                                     {"args", "--backup", "db"},
                                     {"import", home.path() + "/missing-config", "--dry-run"}};
        for (const QStringList &args : bad) {
            const Result r = runFlumewire(args, home);
            QVERIFY2(r.status == 2, qPrintable(args.join(' ')));
            QCOMPARE(r.err.count('\n'), 1);
            QVERIFY(r.out.isEmpty());
        }
        const Result version = runFlumewire({"--version"}, home);
        QCOMPARE(version.out, QStringLiteral("Flumewire (Dev) dev build\n"));
        QVERIFY(runFlumewire({"--help"}, home).out.contains("up [--verbose]"));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_CommandLine.moc"
