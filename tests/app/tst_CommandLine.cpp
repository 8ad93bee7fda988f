#include "model/Store.h"
#include "support/FakeSsh.h"
#include "support/FlumewireProcess.h"
#include "support/SmallDisk.h"
#include "support/WorkedExamples.h"

#include <QtTest>
#include <csignal>

namespace {

using Run = FlumewireRun;

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    // Names, ids and ssh's own words may hold escape sequences: they reach the terminal escaped. Usage errors are one
    // line on stderr, status 2, nothing on stdout, whatever the parser stumbles on.
    void outputsEscapesAndUsageErrors()
    {
        TempHome home;
        const QProcessEnvironment env = FlumewireProcess::environment(home);
        QList<Tunnel> tunnels = WorkedExamples::all();
        tunnels[0].name = "DB\x1b]0;owned\x07\x1b[2J";
        tunnels[0].extra = "-o\nSendEnv=X";
        tunnels[2].backupHost = "gateway-b";
        tunnels[2].groupId = "g1";
        QVERIFY(Store::save(tunnels, true) && Store::saveGroups({{"g1", "Group", 0}}, true));
        const QByteArray file = readAll(Store::tunnelsPath(true));

        const Run json({"list", "--json"}, env);
        QVERIFY(json.status == 0 && !json.out.contains(QChar(0x1b)));
        QCOMPARE(Store::decodeTunnels(json.out.toUtf8()), Store::decodeTunnels(file));
        QCOMPARE(Run({"list"}, env).out,
                 QStringLiteral("db  L  DB\\x1B]0;owned\\x07\\x1B[2J  127.0.0.1:5432 \u2192 localhost:5432\n"
                                "web  R  Web  localhost:8080 \u2192 localhost:3000\n"
                                "proxy  SOCKS  Proxy  localhost:1080 \u2192 dynamic\n"));
        // The program first, then one argument a line; --backup goes to the backup server.
        QCOMPARE(Run({"args", "--backup", "proxy"}, env).out,
                 QStringLiteral("/usr/bin/ssh\n-v\n-N\n-o\nExitOnForwardFailure=yes\n-o\nBatchMode=yes\n-D\n"
                                "localhost:1080\n-o\nStrictHostKeyChecking=accept-new\n-p\n22\ngateway-b\n"));
        QVERIFY(Run({"args", "db"}, env).out.contains("\n-o\\nSendEnv=X\n"));
        QCOMPARE(readAll(Store::tunnelsPath(true)), file); // nothing above changed the file
        const Run up({"up", "x\n10:00:00 db connected"}, env);
        QVERIFY2(up.status == 2 && up.err.count('\n') == 1 && up.err.contains("x\\n10:00:00"), qPrintable(up.err));
        for (const char *line : {"args nope", "command", "list --jsn", "list -x", "list --json=1", "frobnicate",
                                 "args db web", "args --backup db", "up --attempts", "up --attempts=0 db",
                                 "status --format", "status --format xml", "import /nonexistent/config --dry-run"}) {
            const Run r(QString::fromLatin1(line).split(' '), env);
            QVERIFY2(r.status == 2 && r.err.count('\n') == 1 && r.out.isEmpty(), qPrintable(line + r.err));
        }
        QVERIFY(Run({"list", "-x"}, env).err.contains("unknown option -x "));
        QVERIFY(Run({"--help"}, env).out.contains("up [--verbose]"));
        // A build-tree program is the development build; the one that gets installed is the regular build.
        QCOMPARE(Run({"--version"}, env).out, QStringLiteral("Flumewire (Dev) dev build\n"));
        QProcess regular;
        regular.start(QStringLiteral(FLUMEWIRE_REGULAR_BINARY), {"--version"});
        QVERIFY(regular.waitForFinished(30000));
        QVERIFY(regular.readAllStandardOutput().startsWith("Flumewire Version "));

        const QString config = home.write("ssh_config", "Host \"\x1b[31mred\" plain\nLocalForward 1 h:1\n"
                                                        "LocalForward 2 \"\xc2\x9b"
                                                        "2J:1\"\n");
        QCOMPARE(Run({"import", config, "--dry-run"}, env).out,
                 QStringLiteral("ssh-plain-l-1  L  plain  127.0.0.1:1 \u2192 h:1\n"
                                "ssh-plain-l-2  L  plain  127.0.0.1:2 \u2192 \\x9B2J:1\n"));

        // An id holding a control character makes the file invalid rather than reaching the terminal.
        tunnels[0].id = "db\x1b[2J";
        QVERIFY(Store::save(tunnels, true));
        QCOMPARE(Run({"list"}, env).status, 2);
    }

    // The command line works on the user's own tunnels: the sample set is never shown, started or saved.
    void onlyTheUsersOwnTunnels()
    {
        TempHome home;
        const QProcessEnvironment env = FlumewireProcess::environment(home);
        const Run list({"list"}, env);
        QVERIFY(list.status == 0 && list.out.isEmpty());
        QCOMPARE(Run({"list", "--json"}, env).out, QStringLiteral("[]\n"));
        QCOMPARE(Run({"up"}, env).status, 2);         // nothing to start
        QVERIFY(!QFileInfo::exists(home.dataHome())); // reading created no folder

        const QString config = home.write("ssh_config", "Host db\nLocalForward 5432 localhost:5432\n");
        QCOMPARE(Run({"import", config}, env).out, QStringLiteral("imported 1 of 1 tunnels\n"));
        QCOMPARE(tunnelIds(*Store::decodeTunnels(readAll(Store::tunnelsPath(true)))), QStringList({"ssh-db-l-5432"}));

        // A file that does not decode is an error for every command, and is left as it is.
        home.write("data/Flumewire-Dev/tunnels.json", "[{\"id\":");
        const QList<QStringList> commands{{"list"},           {"list", "--json"}, {"args", "ssh-db-l-5432"},
                                          {"command", "x"},   {"test", "x"},      {"up"},
                                          {"up", "prod-api"}, {"import", config}};
        for (const QStringList &args : commands) {
            const Run r(args, env);
            QVERIFY2(r.status == 2 && r.out.isEmpty(), qPrintable(args.join(' ')));
            QVERIFY2(r.err.startsWith("flumewire: cannot read the tunnels file: "), qPrintable(r.err));
        }
        QCOMPARE(readAll(Store::tunnelsPath(true)), QByteArray("[{\"id\":"));

        // An empty lock file left by a crash does not block every later run.
        home.write("data/Flumewire-Dev/tunnels.json", "[]");
        QFile lock(home.write("data/Flumewire-Dev/flumewire.lock", ""));
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        lock.close();
        const Run again({"import", config}, env);
        QVERIFY2(again.status == 0, qPrintable(again.err));
    }

    // A full disk: nothing written, nothing reported as done.
    void importOnAFullDiskFails()
    {
        TempHome home;
        SmallDisk disk;
        SMALL_DISK_OR_SKIP(disk);
        QProcessEnvironment env = FlumewireProcess::environment(home);
        env.insert("XDG_DATA_HOME", disk.path());
        const QString config = home.write("ssh_config", "Host db\nLocalForward 5432 localhost:5432\n");
        QCOMPARE(Run({"import", config}, env).status, 0);
        const QString file = disk.path() + "/Flumewire-Dev/tunnels.json";
        const QByteArray before = readAll(file);
        disk.fill(1); // room for the lock file only
        home.write("ssh_config", "Host web\nLocalForward 8080 localhost:80\n");
        const Run r({"import", config}, env);
        QVERIFY(r.status == 1 && r.out.isEmpty());
        QVERIFY2(r.err.startsWith("flumewire: could not save tunnels: ") && r.err.contains("No space left on device"),
                 qPrintable(r.err));
        QCOMPARE(readAll(file), before);
    }

    // SIGHUP (the terminal closed) stops `up` cleanly, like SIGTERM: children stopped, normal exit. Logging rules
    // reach the log's areas: ssh's lines are debug messages, mirrored to stderr here.
    void upStopsCleanlyOnHangup()
    {
        TempHome home;
        FakeSsh fake;
        QVERIFY(Store::save(WorkedExamples::all(), true));
        QProcessEnvironment env = FlumewireProcess::environment(
            home, fake.write("echo hello\necho \"$$\" > " + fake.dir() + "/pid\nexec sleep 60\n"));
        env.insert("FLUMEWIRE_LOG_STDERR", "1");
        env.insert("QT_LOGGING_RULES", "com.brindlecot.flumewire.ssh.debug=true;com.brindlecot.flumewire.state=false");
        FlumewireProcess up({"up", "db"}, env);
        QTRY_VERIFY_WITH_TIMEOUT(readAll(fake.dir() + "/pid").endsWith('\n'), 20000);
        const pid_t child = readAll(fake.dir() + "/pid").trimmed().toInt();
        QVERIFY(child > 0 && ::kill(child, 0) == 0);
        // The line reaches the log before the hangup: what ssh wrote is read as it comes, not only at the end.
        QTRY_VERIFY_WITH_TIMEOUT(up.err.contains("\nssh: [db] hello\n"), 20000);
        ::kill(pid_t(up.processId()), SIGHUP);
        QCOMPARE(up.finish(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(::kill(child, 0) != 0, 5000);
        QVERIFY2(!up.err.contains("\nstate: "), qPrintable(up.err));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_CommandLine.moc"
