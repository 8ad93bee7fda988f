#include "ssh/SSHManager.h"
#include "support/FakeSsh.h"
#include "support/LogCapture.h"
#include "support/RunnerRecorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>
#include <csignal>
#include <unistd.h>

namespace {

Tunnel tunnelFor(const QString &id, TunnelType type = TunnelType::Local)
{
    Tunnel t;
    t.id = id;
    t.type = type;
    t.host = "gateway";
    t.user = "deploy";
    t.bindPort = "8080";
    t.targetPort = "80";
    return t;
}

int openDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

// The fields of /proc/<pid>/stat after the command name: state, parent, ...; empty when there is no such process.
QList<QByteArray> statOf(const QString &pid)
{
    QFile stat("/proc/" + pid + "/stat");
    const QByteArray text = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    return text.isEmpty() ? QList<QByteArray>() : text.mid(text.lastIndexOf(')') + 2).split(' ');
}

// Processes whose parent is this test, zombies included.
int childProcesses()
{
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    int count = 0;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        count += statOf(pid).value(1) == self;
    return count;
}

bool processGone(qint64 pid)
{
    return statOf(QString::number(pid)).value(0, "Z") == "Z";
}

struct TestOutcome {
    int calls = 0;
    bool ok = false;
    QString message;
};

// Starts a one-shot login test; the outcome fills in when its completion arrives.
std::shared_ptr<TestOutcome> runTest(const Tunnel &tunnel, const QString &program,
                                     int deadlineMs = SSHManager::testDeadlineMs)
{
    auto outcome = std::make_shared<TestOutcome>();
    SSHManager::test(
        tunnel,
        [outcome](bool ok, QString message) {
            ++outcome->calls;
            outcome->ok = ok;
            outcome->message = message;
        },
        program, deadlineMs);
    return outcome;
}

} // namespace

class SSHManagerTest : public QObject {
    Q_OBJECT
private slots:
    void failureTableAndPhrases()
    {
        // The first matching row wins, in table order, case-sensitively.
        const QList<std::pair<const char *, std::optional<QString>>> table{
            {"Connection refused; Permission denied", "Permission denied"},
            {"ssh: Could not resolve hostname x: Name or service not known", "Host not found"},
            {"getaddrinfo: Name or service not known", "Host not found"},
            {"connect to host h port 22: Operation timed out", "Connection timed out"},
            {"bind [127.0.0.1]:80: Address already in use", "Local port already in use"},
            {"channel_setup_fwd_listener_tcpip: cannot listen to port: 80", "Cannot bind local port"},
            {"Error: remote port forwarding failed for listen port 80", "Remote forwarding failed"},
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
    }

    void transcriptsReplayed()
    {
        // What the real ssh printed with the runner's options against a test server (recorded by
        // tools/record-ssh-transcripts.sh; every one but the silent servers has a banner that carries ssh's phrases),
        // played back by a fake ssh that then exits with ssh's code or, where ssh was still running, keeps running.
        struct Case {
            const char *name;
            TunnelType type;
            int exitCode;    // -1: ssh was still running
            QString outcome; // the report after "connecting"
            // The line (counted from 1) that shows the run connected, if it does.
            int decidingLine = 0;
        };
        const QList<Case> cases{
            {"first-address-refused", TunnelType::Local, -1, "connected", 56},
            {"every-address-refused", TunnelType::Local, 255, "failed: Connection refused"},
            {"banner-connected", TunnelType::Local, -1, "connected", 50},
            {"socks-connected", TunnelType::Socks, -1, "connected", 50},
            {"remote-connected", TunnelType::Remote, -1, "connected", 55},
            {"jump-connected", TunnelType::Local, -1, "connected", 105},
            {"jump-target-refuses-key", TunnelType::Local, 255, "failed: Permission denied"},
            {"jump-target-refuses-connection", TunnelType::Local, 255, "failed: Connection refused"},
            {"wrong-key", TunnelType::Local, 255, "failed: Permission denied"},
            {"busy-local-port", TunnelType::Local, 255, "failed: Local port already in use"},
            {"busy-remote-port", TunnelType::Remote, 255, "failed: Remote forwarding failed"},
            {"unknown-host", TunnelType::Local, 255, "failed: Host not found"},
            {"host-key-changed", TunnelType::Local, 255, "failed: Host key verification failed"},
            {"text-before-version", TunnelType::Local, 255, "failed: Connection failed"},
            {"silent-server", TunnelType::Local, -1, "failed: Connection timed out"},
            {"stalled-after-version", TunnelType::Local, -1, "failed: Connection timed out"},
        };

        // The tunnels' local port is held here, so a busy port is named with this process.
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        const QString heldBy = QStringLiteral("port %1 is held by %2 (pid %3)")
                                   .arg(holder.serverPort())
                                   .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName().left(15))
                                   .arg(QCoreApplication::applicationPid());
        const int deadlineMs = 1500;

        FakeSsh fake;
        std::vector<std::unique_ptr<SSHManager>> managers;
        std::vector<std::unique_ptr<RunnerRecorder>> recorders;
        QList<quint64> runs;
        for (const Case &c : cases) {
            const QString transcript = QStringLiteral(TRANSCRIPTS_DIR "/%1.txt").arg(c.name);
            QVERIFY2(QFile::exists(transcript), qPrintable(transcript));
            const QString end =
                c.exitCode < 0 ? QStringLiteral("exec sleep 30") : QStringLiteral("exit %1").arg(c.exitCode);
            const QString program = fake.write(QStringLiteral("cat '%1'\n%2").arg(transcript, end), c.name);
            managers.push_back(std::make_unique<SSHManager>(program));
            recorders.push_back(std::make_unique<RunnerRecorder>(*managers.back()));
            // Only a run that never connects meets the deadline; a short one keeps the test quick.
            if (c.outcome.endsWith("timed out"))
                managers.back()->setConnectionDeadline(deadlineMs);
            Tunnel t = tunnelFor(c.name, c.type);
            t.bindPort = QString::number(holder.serverPort());
            runs.append(managers.back()->start(t));
        }

        for (qsizetype i = 0; i < cases.size(); ++i) {
            const Case &c = cases.at(i);
            const RunnerRecorder &recorder = *recorders.at(i);
            QStringList expectedLog = fileLines(QStringLiteral(TRANSCRIPTS_DIR "/%1.txt").arg(c.name), true);
            if (c.outcome.endsWith("Local port already in use"))
                expectedLog.append(heldBy);
            if (c.outcome.endsWith("timed out"))
                expectedLog.append(QStringLiteral("No connection after 1.5 s: ssh stopped"));
            const QByteArray story = QByteArray(c.name) + ": " + recorder.statusTexts(c.name).join(", ").toUtf8();
            QVERIFY2(recorder.waitForStatuses(c.name, 2), story.constData());
            QVERIFY2(recorder.waitForLogs(c.name, expectedLog.size()), story.constData());
            QCoreApplication::processEvents();
            QCOMPARE(recorder.statusTexts(c.name), QStringList({"connecting", c.outcome}));
            QCOMPARE(recorder.logTexts(c.name), expectedLog);
            QCOMPARE(recorder.runs(c.name), QList<quint64>{runs.at(i)});
            if (c.decidingLine > 0)
                QCOMPARE(recorder.statuses(c.name).last().logsBefore, c.decidingLine);
        }
        QVERIFY(!runs.contains(0));
        // A run stopped at the deadline leaves no process behind.
        for (qsizetype i = 0; i < cases.size(); ++i) {
            if (cases.at(i).outcome.endsWith("timed out"))
                QTRY_COMPARE(managers.at(i)->findChildren<QProcess *>().size(), 0);
        }
    }

    void linesAcrossReadsAndStrayBytes()
    {
        FakeSsh fake;
        const QString dir = fake.dir();
        // Pieces wait for marker files, so each write reaches the reader on its own.
        const QString program =
            fake.write(QStringLiteral("printf 'a\\r\\nb\\n\\n  \\t \\r\\n'\n"
                                      "printf 'debug1: Local forwarding listening on 127.0.0.1 port "
                                      "8080.\\r\\ndebug1: Entering inter'\n"
                                      "while [ ! -e '%1/go1' ]; do sleep 0.01; done\n"
                                      "printf 'active session.\\r\\n\\303'\n"
                                      "while [ ! -e '%1/go2' ]; do sleep 0.01; done\n"
                                      "printf '\\251t\\303\\n'\n"
                                      "printf 'x \\377\\376 y\\n\\tlast line without break '\n"
                                      "exit 3")
                           .arg(dir));
        SSHManager manager(program);
        RunnerRecorder recorder(manager);
        manager.start(tunnelFor("t"));
        QVERIFY(recorder.waitForLogs("t", 3));
        QCOMPARE(recorder.logTexts("t"),
                 QStringList({"a", "b", "debug1: Local forwarding listening on 127.0.0.1 port 8080."}));
        QVERIFY(QFile(dir + "/go1").open(QIODevice::WriteOnly));
        QVERIFY(recorder.waitForStatus("t", TunnelStatus::Connected));
        QVERIFY(QFile(dir + "/go2").open(QIODevice::WriteOnly));
        QVERIFY(recorder.waitForStatuses("t", 3));
        const QString replacement(QChar::ReplacementCharacter);
        QCOMPARE(recorder.logTexts("t"),
                 QStringList({"a", "b", "debug1: Local forwarding listening on 127.0.0.1 port 8080.",
                              "debug1: Entering interactive session.", QString::fromUtf8("\xc3\xa9t") + replacement,
                              "x " + replacement + replacement + " y", "last line without break"}));
        QCOMPARE(recorder.statusTexts("t"), QStringList({"connecting", "connected", "failed: Disconnected"}));

        // A deciding line that carries invalid bytes still decides; a last line without a break still counts.
        const QString strayBytes = fake.write("printf 'me@h: \\377 Permission denied (publickey).\\n'\n"
                                              "printf 'ssh: connect to host h port 22: Connection refused'\n"
                                              "exit 255",
                                              "stray");
        SSHManager strayManager(strayBytes);
        RunnerRecorder strayRecorder(strayManager);
        strayManager.start(tunnelFor("s"));
        QVERIFY(strayRecorder.waitForStatuses("s", 2));
        QCOMPARE(strayRecorder.statusTexts("s"), QStringList({"connecting", "failed: Permission denied"}));
        QCOMPARE(strayRecorder.logTexts("s").size(), 2);
        QVERIFY(strayRecorder.logTexts("s").first().contains(replacement));

        // Many lines arriving in large reads: every one whole, none cut at a read boundary.
        const QString chatter =
            fake.write("yes 'debug1: channel 3: free: direct-tcpip, nchannels 4' | head -n 20000", "chatter");
        SSHManager chatterManager(chatter);
        RunnerRecorder chatterRecorder(chatterManager);
        chatterManager.start(tunnelFor("c"));
        QVERIFY(chatterRecorder.waitForStatuses("c", 2));
        const QStringList chatterLines = chatterRecorder.logTexts("c");
        QCOMPARE(chatterLines.size(), 20000);
        QCOMPARE(chatterLines.count("debug1: channel 3: free: direct-tcpip, nchannels 4"), 20000);
    }

    void logMessagesAndLogLines()
    {
        FakeSsh fake;
        const QString program = fake.write("printf 'debug1: remote forward success for: listen 80, connect h:80\\n'\n"
                                           "printf 'same\\nsame\\n'\n"
                                           "exit 3");
        const QString failing = fake.write("printf 'user@h: Permission denied (publickey).\\n'\nexit 255", "failing");
        LogCapture capture;
        SSHManager manager(program);
        RunnerRecorder recorder(manager);
        const Tunnel tunnel = tunnelFor("t", TunnelType::Remote);
        manager.start(tunnel);
        QVERIFY(recorder.waitForStatuses("t", 3));

        SSHManager failingManager(failing);
        RunnerRecorder failingRecorder(failingManager);
        failingManager.start(tunnelFor("f"));
        QVERIFY(failingRecorder.waitForStatuses("f", 2));

        const QStringList messages = capture.messages(Log::Category::Ssh);
        const QStringList expected{"start t: ssh " + tunnel.sshArguments().join(' '),
                                   "[t] debug1: remote forward success for: listen 80, connect h:80",
                                   "connected t",
                                   "[t] same",
                                   "[t] same",
                                   "exited t code=3 established=true",
                                   "start f: ssh " + tunnelFor("f").sshArguments().join(' '),
                                   "[f] user@h: Permission denied (publickey).",
                                   "exited f code=255 established=false",
                                   "failed f: Permission denied"};
        QCOMPARE(messages, expected);

        const QList<LogLine> lines = recorder.logs("t");
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(1).text, lines.at(2).text);
        QVERIFY(lines.at(1).id != lines.at(2).id);
        for (const LogLine &line : lines)
            QVERIFY(QRegularExpression("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$").match(line.time).hasMatch());

        // A program that cannot be launched: one failed report with the launch error.
        SSHManager missing(fake.dir() + "/no-such-ssh");
        RunnerRecorder missingRecorder(missing);
        missing.start(tunnelFor("m"));
        QVERIFY(missingRecorder.waitForStatuses("m", 1));
        QVERIFY(!missing.isRunning("m"));
        QCoreApplication::processEvents();
        const QList<RunnerRecorder::Status> statuses = missingRecorder.statuses("m");
        QCOMPARE(statuses.size(), 1);
        QCOMPARE(statuses.first().status, TunnelStatus::Failed);
        QVERIFY(statuses.first().reason && !statuses.first().reason->isEmpty());
        QVERIFY(capture.contains("launch failed m: " + *statuses.first().reason));
    }

    void stopAndRestartReportNothing()
    {
        FakeSsh fake;
        const QString program =
            fake.write("printf 'debug1: remote forward success for: listen 80, connect h:80\\n'\nexec sleep 30");
        SSHManager manager(program);
        RunnerRecorder recorder(manager);
        const quint64 first = manager.start(tunnelFor("t", TunnelType::Remote));
        // Reports are queued, never delivered inside start.
        QVERIFY(recorder.statuses("t").isEmpty());
        QVERIFY(manager.isRunning("t"));
        QVERIFY(recorder.waitForStatus("t", TunnelStatus::Connected));

        // The replacement is a new run; the old child's exit is never reported, under either run.
        const quint64 second = manager.start(tunnelFor("t", TunnelType::Remote));
        QVERIFY(first > 0 && second > first);
        QVERIFY(recorder.waitForStatuses("t", 4));
        QTRY_COMPARE(manager.findChildren<QProcess *>().size(), 1);
        QCOMPARE(recorder.statusTexts("t"), QStringList({"connecting", "connected", "connecting", "connected"}));
        QCOMPARE(recorder.runs("t"), QList<quint64>({first, second}));

        manager.stop("t");
        QVERIFY(!manager.isRunning("t"));
        QTRY_COMPARE(manager.findChildren<QProcess *>().size(), 0);
        manager.stop("never-started");
        manager.stopAll();
        QCoreApplication::processEvents();
        QCOMPARE(recorder.statuses("t").size(), 4);
    }

    void optionInjectionGuard()
    {
        FakeSsh fake;
        const QString ranMarker = fake.dir() + "/ran";
        const QString argsFile = fake.dir() + "/args";
        const QString program = fake.write(
            QStringLiteral("touch '%1'\nprintf '%s\\n' \"$@\" > '%2'\nexec sleep 30").arg(ranMarker, argsFile));
        SSHManager manager(program);
        RunnerRecorder recorder(manager);
        Tunnel hostOption = tunnelFor("host");
        hostOption.user.clear();
        hostOption.host = "-oProxyCommand=touch " + ranMarker;
        hostOption.extra = "word";
        Tunnel userOption = tunnelFor("user");
        userOption.user = "-oProxyCommand=x";
        for (const Tunnel &t : {hostOption, userOption}) {
            manager.start(t);
            QVERIFY(!manager.isRunning(t.id));
            QVERIFY(recorder.waitForStatuses(t.id, 1));
            QCOMPARE(recorder.statusTexts(t.id), QStringList({"failed: Invalid host name"}));

            const auto outcome = runTest(t, program);
            QTRY_COMPARE(outcome->calls, 1);
            QVERIFY(!outcome->ok);
            QCOMPARE(outcome->message, "Invalid host name");
        }
        QVERIFY(!QFile::exists(ranMarker));

        // A valid tunnel reaches ssh with exactly its argument list.
        Tunnel valid = tunnelFor("valid");
        valid.extra = "-o  Foo=a b";
        manager.start(valid);
        QVERIFY(recorder.waitForStatuses("valid", 1));
        QTRY_VERIFY(QFile::exists(argsFile) && QFile(argsFile).size() > 0);
        QTRY_COMPARE(fileLines(argsFile), valid.sshArguments());
        manager.stopAll();
    }

    void connectionTestWithFakes()
    {
        FakeSsh fake;
        const QString argsFile = fake.dir() + "/args";
        // What the client is asked to run, and a remote command that fails (verdicts from what a real ssh says are
        // checked against the test server).
        const QList<std::tuple<QString, bool, QString>> cases{
            {fake.write(QStringLiteral("printf '%s\\n' \"$@\" > '%1'\nexit 0").arg(argsFile), "ok"), true, "Connected"},
            {fake.write("exit 1", "false"), false, "Could not connect"}};
        Tunnel t = tunnelFor("t");
        t.user.clear();
        t.identity = "/keys/id";
        t.proxyJump = "jump";
        t.strictHostKey = false;
        t.sshPort = "2222";
        for (const auto &[program, ok, message] : cases) {
            const auto outcome = runTest(t, program);
            QCOMPARE(outcome->calls, 0);
            QTRY_COMPARE(outcome->calls, 1);
            QCOMPARE(outcome->ok, ok);
            QCOMPARE(outcome->message, message);
        }
        QCOMPARE(fileLines(argsFile),
                 QStringList({"-o", "BatchMode=yes", "-o", "ConnectTimeout=8", "-o", "StrictHostKeyChecking=no", "-i",
                              "/keys/id", "-J", "jump", "-p", "2222", "gateway", "true"}));

        // A program that cannot be launched completes once, as a failure with the launch error.
        const auto missing = runTest(t, fake.dir() + "/missing");
        QTRY_COMPARE(missing->calls, 1);
        QVERIFY(!missing->ok && !missing->message.isEmpty());
        QTest::qWait(20);
        QCOMPARE(missing->calls, 1);

        // An ssh that never finishes (even ignoring SIGTERM) is answered once at the deadline and then ended.
        const QString pidFile = fake.dir() + "/hung.pid";
        const QString hung =
            fake.write(QStringLiteral("trap '' TERM\necho $$ > '%1.tmp'\nmv '%1.tmp' '%1'\nwhile :; do sleep 1; done")
                           .arg(pidFile),
                       "hung");
        const auto late = runTest(t, hung, 300);
        QTRY_COMPARE(late->calls, 1);
        QVERIFY(!late->ok);
        QCOMPARE(late->message, "Connection timed out");
        QFile pid(pidFile);
        QVERIFY(pid.open(QIODevice::ReadOnly));
        QTRY_VERIFY_WITH_TIMEOUT(processGone(pid.readAll().trimmed().toLongLong()), SSHManager::killGraceMs + 5000);
        QCOMPARE(late->calls, 1);
    }

    void thousandCyclesLeakNothing()
    {
        FakeSsh fake;
        const QString program = fake.write("exec sleep 30");
        SSHManager manager(program);
        RunnerRecorder recorder(manager);

        // Warm up once so lazily opened descriptors (Qt's own) are counted in the baseline.
        manager.start(tunnelFor("warm"));
        manager.stop("warm");
        QTRY_COMPARE(manager.findChildren<QProcess *>().size(), 0);
        QTRY_COMPARE(childProcesses(), 0);
        const int baseline = openDescriptors();

        for (int i = 0; i < 1000; ++i) {
            manager.start(tunnelFor("t"));
            manager.stop("t");
            if (i % 100 == 0)
                QCoreApplication::processEvents();
        }
        QTRY_COMPARE_WITH_TIMEOUT(manager.findChildren<QProcess *>().size(), 0, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(childProcesses(), 0, 30000);
        QCOMPARE(openDescriptors(), baseline);
        QCoreApplication::processEvents();
        // Each run was stopped before its program had started: none is reported.
        QCOMPARE(recorder.statusTexts("t"), QStringList());
    }

    void childDiesWithTheApp()
    {
        FakeSsh fake;
        const QString pidFile = fake.dir() + "/pid";
        const QString program =
            fake.write(QStringLiteral("echo $$ > '%1.tmp'\nmv '%1.tmp' '%1'\nexec sleep 60").arg(pidFile));

        QProcess app;
        app.start(QStringLiteral(ORPHAN_PROBE), {program});
        QVERIFY(app.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(pidFile), 10000);
        QFile file(pidFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const qint64 sshPid = file.readAll().trimmed().toLongLong();
        QVERIFY(sshPid > 0);
        QVERIFY(!processGone(sshPid));

        // The app dies without any chance to clean up; its ssh child must not outlive it.
        ::kill(pid_t(app.processId()), SIGKILL);
        QVERIFY(app.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(processGone(sshPid), 10000);
    }

private:
    // The file's lines; asLogged: as a log shows them (split at CR and LF, trimmed, empty ones left out).
    static QStringList fileLines(const QString &path, bool asLogged = false)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        if (asLogged) {
            QStringList lines;
            for (const QString &line : QString::fromUtf8(file.readAll()).split(QRegularExpression("[\r\n]"))) {
                if (!line.trimmed().isEmpty())
                    lines << line.trimmed();
            }
            return lines;
        }
        QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
};

QTEST_GUILESS_MAIN(SSHManagerTest)
#include "tst_SSHManager.moc"
