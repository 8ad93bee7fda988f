#include "ssh/SSHManager.h"
#include "support/FakeSsh.h"
#include "support/LogCapture.h"
#include "support/Processes.h"
#include "support/RunnerRecorder.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>
#include <csignal>

namespace {

Tunnel tunnelFor(const QString &id, TunnelType type = TunnelType::Local)
{
    Tunnel t;
    t.id = id;
    t.type = type;
    t.host = "gateway";
    return t;
}

// One runner on one program, with all it reports recorded.
struct Runner {
    explicit Runner(const QString &program) : manager(program), recorder(manager) {}
    int processObjects() const { return int(manager.findChildren<QProcess *>().size()); }

    SSHManager manager;
    RunnerRecorder recorder;
};

// Starts a one-shot login test; its answers ("ok: <message>" or "failed: <message>") are added as they arrive.
std::shared_ptr<QStringList> runTest(const Tunnel &tunnel, const QString &program,
                                     int deadlineMs = SSHManager::testDeadlineMs)
{
    auto answers = std::make_shared<QStringList>();
    SSHManager::test(
        tunnel, [answers](bool ok, const QString &message) { answers->append((ok ? "ok: " : "failed: ") + message); },
        program, deadlineMs);
    return answers;
}

} // namespace

class SSHManagerTest : public QObject {
    Q_OBJECT
private slots:
    void judgementOfSshOutput()
    {
        // The first matching row wins, in table order, case-sensitively (the rows ssh's recorded messages reach are
        // checked on the transcripts).
        const QList<std::pair<const char *, std::optional<QString>>> table{
            {"Connection refused; Permission denied", "Permission denied"},
            {"getaddrinfo: Name or service not known", "Host not found"},
            {"connect to host h port 22: Operation timed out", "Connection timed out"},
            {"channel_setup_fwd_listener_tcpip: cannot listen to port: 80", "Cannot bind local port"},
            {"connect to host h: No route to host; Host key verification failed", "Host key verification failed"},
            {"permission denied", std::nullopt},
            {"Remote port forwarding failed", std::nullopt}};
        for (const auto &[line, reason] : table)
            QCOMPARE(SSHManager::failureReason(line), reason);
        for (const char *phrase :
             {"debug1: Local forwarding listening on 127.0.0.1 port 1.", "All requested forwarding succeeded",
              "debug1: remote forward success for: x", "debug1: Entering interactive session."})
            QVERIFY(SSHManager::indicatesConnected(phrase));
        QVERIFY(!SSHManager::indicatesConnected("entering interactive session"));

        // What the real ssh printed against a test server (tools/record-ssh-transcripts.sh), played back by a fake
        // ssh that then exits 255 as ssh did (a connected run as when the server drops it) or, where ssh waited for a
        // server that never answered, keeps running.
        struct Case {
            const char *name;
            TunnelType type;
            QString outcome;      // the reports after "connecting"
            int decidingLine = 0; // the line (counted from 1) after which the run was connected
        };
        const QString dropped = "connected, failed: Disconnected";
        const QList<Case> cases{
            {"first-address-refused", TunnelType::Local, dropped, 56},
            {"every-address-refused", TunnelType::Local, "failed: Connection refused"},
            {"banner-connected", TunnelType::Local, dropped, 50},
            {"socks-connected", TunnelType::Socks, dropped, 50},
            {"remote-connected", TunnelType::Remote, dropped, 55},
            {"jump-connected", TunnelType::Local, dropped, 105},
            {"jump-target-refuses-key", TunnelType::Local, "failed: Permission denied"},
            {"jump-target-refuses-connection", TunnelType::Local, "failed: Connection refused"},
            {"wrong-key", TunnelType::Local, "failed: Permission denied"},
            {"busy-local-port", TunnelType::Local, "failed: Local port already in use"},
            {"busy-remote-port", TunnelType::Remote, "failed: Remote forwarding failed"},
            {"unknown-host", TunnelType::Local, "failed: Host not found"},
            {"host-key-changed", TunnelType::Local, "failed: Host key verification failed"},
            {"text-before-version", TunnelType::Local, "failed: Connection failed"},
            {"silent-server", TunnelType::Local, "failed: Connection timed out"},
            {"stalled-after-version", TunnelType::Local, "failed: Connection timed out"},
        };

        // The tunnels' local port is held here, so a busy port is named with this process.
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        const QString heldBy = QStringLiteral("port %1 is held by %2 (pid %3)")
                                   .arg(holder.serverPort())
                                   .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName().left(15))
                                   .arg(QCoreApplication::applicationPid());

        FakeSsh fake;
        std::vector<std::unique_ptr<Runner>> runners;
        const auto transcript = [](const char *name) { return QStringLiteral(TRANSCRIPTS_DIR "/%1.txt").arg(name); };
        for (const Case &c : cases) {
            const bool timesOut = c.outcome.endsWith("timed out");
            const QString script = "cat '" + transcript(c.name) + "'\n" + (timesOut ? "exec sleep 30" : "exit 255");
            runners.push_back(std::make_unique<Runner>(fake.write(script, c.name)));
            // Only a run that never connects meets the deadline; a short one keeps the test quick.
            if (timesOut)
                runners.back()->manager.setConnectionDeadline(1500);
            Tunnel t = tunnelFor(c.name, c.type);
            t.bindPort = QString::number(holder.serverPort());
            runners.back()->manager.start(t);
        }

        for (qsizetype i = 0; i < cases.size(); ++i) {
            const Case &c = cases.at(i);
            const RunnerRecorder &recorder = runners.at(i)->recorder;
            // The transcript's lines as the log shows them: split at CR and LF, trimmed, empty ones left out.
            QStringList expectedLog =
                QString(readFile(transcript(c.name))).split(QRegularExpression("\\s*[\r\n]\\s*"), Qt::SkipEmptyParts);
            if (c.outcome.endsWith("Local port already in use"))
                expectedLog.append(heldBy);
            if (c.outcome.endsWith("timed out"))
                expectedLog.append(QStringLiteral("No connection after 1.5 s: ssh stopped"));
            const QStringList expected = QStringList{"connecting"} + c.outcome.split(", ");
            QVERIFY2(recorder.waitForStatuses(c.name, int(expected.size())),
                     qPrintable(c.name + (": " + recorder.statusTexts(c.name).join(", "))));
            QCoreApplication::processEvents();
            QCOMPARE(recorder.statusTexts(c.name), expected);
            QCOMPARE(recorder.logTexts(c.name), expectedLog);
            if (c.decidingLine > 0)
                QCOMPARE(recorder.statuses(c.name).at(1).logsBefore, c.decidingLine);
        }
        // Exited or stopped at the deadline, no run leaves a process behind.
        for (const auto &runner : runners)
            QTRY_COMPARE(runner->processObjects(), 0);
    }

    void linesAcrossReadsAndLogMessages()
    {
        FakeSsh fake;
        LogCapture capture;
        // Pieces wait for marker files, so each write reaches the reader on its own.
        Runner r(fake.write(QStringLiteral("printf 'same\\r\\nsame\\n\\n  \\t \\r\\n'\n"
                                           "printf 'debug1: Local forwarding listening on 127.0.0.1 port "
                                           "8080.\\r\\ndebug1: Entering inter'\n"
                                           "while [ ! -e '%1/go1' ]; do sleep 0.01; done\n"
                                           "printf 'active session.\\r\\n\\303'\n"
                                           "while [ ! -e '%1/go2' ]; do sleep 0.01; done\n"
                                           "printf '\\251t\\303\\n'\n"
                                           "printf 'x \\377\\376 y\\n\\tlast line without break '\n"
                                           "exit 3")
                                .arg(fake.dir())));
        const Tunnel tunnel = tunnelFor("t");
        r.manager.start(tunnel);
        const QStringList firstLines{"same", "same", "debug1: Local forwarding listening on 127.0.0.1 port 8080."};
        QTRY_COMPARE(r.recorder.logTexts("t"), firstLines);
        QVERIFY(QFile(fake.dir() + "/go1").open(QIODevice::WriteOnly));
        QVERIFY(r.recorder.waitForStatuses("t", 2));
        QVERIFY(QFile(fake.dir() + "/go2").open(QIODevice::WriteOnly));
        QTRY_COMPARE(r.recorder.statusTexts("t"), QStringList({"connecting", "connected", "failed: Disconnected"}));
        const QString replacement(QChar::ReplacementCharacter);
        QCOMPARE(r.recorder.logTexts("t"),
                 firstLines +
                     QStringList({"debug1: Entering interactive session.", QString::fromUtf8("\xc3\xa9t") + replacement,
                                  "x " + replacement + replacement + " y", "last line without break"}));
        const QList<LogLine> lines = r.recorder.logs("t");
        QVERIFY(lines.at(0).id != lines.at(1).id);
        for (const LogLine &line : lines)
            QVERIFY(QRegularExpression("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$").match(line.time).hasMatch());

        // A deciding line that carries invalid bytes still decides; a last line without a break still counts.
        Runner failing(fake.write("printf 'me@h: \\377 Permission denied (publickey).\\n'\n"
                                  "printf 'ssh: connect to host h port 22: Connection refused'\n"
                                  "exit 255",
                                  "failing"));
        failing.manager.start(tunnelFor("f"));
        QVERIFY(failing.recorder.waitForStatuses("f", 2));
        QStringList expected = r.recorder.logTexts("t").replaceInStrings(QRegularExpression("^"), "[t] ");
        expected.insert(4, "connected t");
        expected.prepend("start t: ssh " + tunnel.sshArguments().join(' '));
        QCOMPARE(capture.messages(Log::Category::Ssh),
                 expected + QStringList({"exited t code=3 established=true",
                                         "start f: ssh " + tunnelFor("f").sshArguments().join(' '),
                                         "[f] me@h: \uFFFD Permission denied (publickey).",
                                         "[f] ssh: connect to host h port 22: Connection refused",
                                         "exited f code=255 established=false", "failed f: Permission denied"}));

        // A program that cannot be launched: one failed report with the launch error.
        Runner missing(fake.dir() + "/no-such-ssh");
        missing.manager.start(tunnelFor("m"));
        QVERIFY(missing.recorder.waitForStatuses("m", 1));
        const QString launch = missing.recorder.statusTexts("m").constFirst();
        QVERIFY(launch.size() > 8 && capture.contains("launch failed m: " + launch.mid(8)));

        // Many lines arriving in large reads: every one whole, none cut at a read boundary.
        Runner chatter(
            fake.write("yes 'debug1: channel 3: free: direct-tcpip, nchannels 4' | head -n 20000", "chatter"));
        chatter.manager.start(tunnelFor("c"));
        QVERIFY(chatter.recorder.waitForStatuses("c", 2));
        QCOMPARE(chatter.recorder.logTexts("c").count("debug1: channel 3: free: direct-tcpip, nchannels 4"), 20000);
        QVERIFY(!missing.manager.isRunning("m") && missing.recorder.statuses("m").size() == 1);
    }

    void stopsRestartsCyclesAndCrashesLeaveNothing()
    {
        FakeSsh fake;
        Runner r(fake.write("printf 'debug1: remote forward success for: listen 80, connect h:80\\n'\nexec sleep 30"));
        const quint64 first = r.manager.start(tunnelFor("t", TunnelType::Remote));
        // Reports are queued, never delivered inside start.
        QVERIFY(r.recorder.statuses("t").isEmpty() && r.manager.isRunning("t"));
        QVERIFY(r.recorder.waitForStatuses("t", 2));

        // The replacement is a new run; the old child's exit is never reported, under either run.
        const quint64 second = r.manager.start(tunnelFor("t", TunnelType::Remote));
        QVERIFY(first > 0 && second > first);
        QTRY_COMPARE(r.recorder.statusTexts("t"), QStringList({"connecting", "connected", "connecting", "connected"}));
        QTRY_COMPARE(r.processObjects(), 1);
        const QList<RunnerRecorder::Status> runs = r.recorder.statuses("t");
        QVERIFY(runs[0].run == first && runs[1].run == first && runs[2].run == second && runs[3].run == second);

        r.manager.stop("t");
        QVERIFY(!r.manager.isRunning("t"));
        QTRY_COMPARE(r.processObjects(), 0);
        r.manager.stop("never-started");
        r.manager.stopAll();

        // A thousand runs stopped at once leave no process object, child, zombie or descriptor behind. The runs above
        // opened what Qt opens lazily, so the baseline counts it.
        const auto descriptors = [] {
            return QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
        };
        // Processes this test has started and not yet reaped, zombies included.
        const auto childProcesses = [] {
            return QString(readFile("/proc/thread-self/children")).split(' ', Qt::SkipEmptyParts).size();
        };
        QTRY_COMPARE(childProcesses(), 0);
        const qsizetype baseline = descriptors();
        for (int i = 0; i < 1000; ++i) {
            r.manager.start(tunnelFor("c"));
            r.manager.stop("c");
            if (i % 100 == 0)
                QCoreApplication::processEvents();
        }
        QTRY_COMPARE_WITH_TIMEOUT(r.processObjects(), 0, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(childProcesses(), 0, 30000);
        QCOMPARE(descriptors(), baseline);
        QCoreApplication::processEvents();
        // Stopped runs report nothing, nor do runs stopped before their program had started.
        QCOMPARE(r.recorder.statuses("t").size(), 4);
        QCOMPARE(r.recorder.statusTexts("c"), QStringList());

        // The app dies without any chance to clean up; its ssh child must not outlive it.
        QProcess app;
        app.start(QStringLiteral(ORPHAN_PROBE), {fake.write("exec sleep 6071.5", "orphan")});
        QTRY_COMPARE_WITH_TIMEOUT(processesWith("sleep 6071.5"), 1, 10000);
        ::kill(pid_t(app.processId()), SIGKILL);
        QVERIFY(app.waitForFinished());
        QTRY_COMPARE_WITH_TIMEOUT(processesWith("sleep 6071.5"), 0, 10000);
    }

    void argumentsGivenToSsh()
    {
        FakeSsh fake;
        const QString argsFile = fake.dir() + "/args";
        const QString program =
            fake.write(QStringLiteral("printf '%s\\n' \"$@\" > '%1.tmp'\nmv '%1.tmp' '%1'").arg(argsFile));
        Runner r(program);
        // A host or user that ssh would read as an option never reaches it, in a run or in a login test.
        Tunnel hostOption = tunnelFor("host");
        hostOption.host = "-oProxyCommand=touch x";
        hostOption.extra = "word";
        Tunnel userOption = tunnelFor("user");
        userOption.user = "-oProxyCommand=x";
        for (const Tunnel &t : {hostOption, userOption}) {
            r.manager.start(t);
            QVERIFY(!r.manager.isRunning(t.id));
            QTRY_COMPARE(r.recorder.statusTexts(t.id), QStringList({"failed: Invalid host name"}));
            const auto answers = runTest(t, program);
            QTRY_COMPARE(*answers, QStringList{"failed: Invalid host name"});
        }
        QVERIFY(!QFile::exists(argsFile));

        // A valid tunnel reaches ssh with exactly its argument list.
        Tunnel valid = tunnelFor("valid");
        valid.extra = "-o  Foo=a b";
        r.manager.start(valid);
        QTRY_COMPARE(QString(readFile(argsFile)), valid.sshArguments().join('\n') + '\n');

        // The login test: a batch login that runs `true`, answered only after the call returns.
        Tunnel t = tunnelFor("t");
        t.identity = "/keys/id";
        t.proxyJump = "jump";
        t.strictHostKey = false;
        t.sshPort = "2222";
        const auto connected = runTest(t, program);
        QVERIFY(connected->isEmpty());
        QTRY_COMPARE(*connected, QStringList{"ok: Connected"});
        QCOMPARE(QString(readFile(argsFile)).split('\n'),
                 QStringList({"-o", "BatchMode=yes", "-o", "ConnectTimeout=8", "-o", "StrictHostKeyChecking=no", "-i",
                              "/keys/id", "-J", "jump", "-p", "2222", "gateway", "true", ""}));

        // A program that cannot be launched completes once, as a failure with the launch error.
        const auto missing = runTest(t, fake.dir() + "/missing");
        QTRY_COMPARE(missing->size(), 1);
        QVERIFY(missing->first().startsWith("failed: ") && missing->first().size() > 8);

        // An ssh that never finishes (even ignoring SIGTERM) is answered once at the deadline and then killed.
        const auto late = runTest(t, fake.write("trap '' TERM\nexec sleep 4021.5", "hung"), 1000);
        QTRY_COMPARE(processesWith("sleep 4021.5"), 1);
        QTRY_COMPARE(*late, QStringList{"failed: Connection timed out"});
        QTRY_COMPARE_WITH_TIMEOUT(processesWith("sleep 4021.5"), 0, SSHManager::killGraceMs + 5000);
        QCOMPARE(late->size(), 1);
        QCOMPARE(missing->size(), 1);
    }
};

QTEST_GUILESS_MAIN(SSHManagerTest)
#include "tst_SSHManager.moc"
