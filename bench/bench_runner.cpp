#include "BenchTimer.h"
#include "ssh/SSHManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/stat.h>

namespace {

QString writeScript(const QTemporaryDir &dir, const QString &name, const QString &body)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\n" + body.toUtf8() + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

bool runUntil(const std::function<bool()> &done, int timeoutMs = 60000)
{
    // Sleeps in the event loop between events (a busy loop would steal the CPU from the fake ssh).
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(50);
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace

// How quickly the runner turns ssh output into reports: the time from a fake ssh writing its deciding line to the
// onStatus callback, and how many output lines per second reach onLog.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("go"));
    if (::mkfifo(fifo.toLocal8Bit().constData(), 0600) != 0)
        return 1;

    // The fake prints what ssh prints before its session starts (a banner with ssh's phrases in it, the login, the
    // listener), waits on the fifo, then prints the line that decides "connected" and idles.
    const QString decider =
        writeScript(dir, QStringLiteral("decider"),
                    QStringLiteral("printf 'debug1: Connecting to gateway [::1] port 22.\\r\\n'\n"
                                   "printf 'debug1: connect to address ::1 port 22: Connection refused\\r\\n'\n"
                                   "printf 'debug1: Connection established.\\r\\n'\n"
                                   "printf 'debug1: SSH2_MSG_SERVICE_ACCEPT received\\r\\n'\n"
                                   "printf 'Unauthorised users: Permission denied.\\n'\n"
                                   "printf 'debug1: Entering interactive session.\\n'\n"
                                   "printf 'debug1: Authentications that can continue: publickey\\r\\n'\n"
                                   "printf 'Authenticated to gateway ([127.0.0.1]:22) using \"publickey\".\\r\\n'\n"
                                   "printf 'debug1: Local forwarding listening on 127.0.0.1 port 8080.\\r\\n'\n"
                                   "read x < '%1'\n"
                                   "printf 'debug1: Entering interactive session.\\r\\n'\n"
                                   "exec sleep 30")
                        .arg(fifo));
    SSHManager latencyManager(decider);
    bool connecting = false;
    bool connected = false;
    QElapsedTimer clock;
    qint64 connectedAt = 0;
    int logged = 0;
    latencyManager.onLog = [&](const QString &, quint64, const LogLine &) { ++logged; };
    latencyManager.onStatus = [&](const QString &, quint64, TunnelStatus status, const std::optional<QString> &) {
        if (status == TunnelStatus::Connecting)
            connecting = true;
        if (status == TunnelStatus::Connected) {
            connectedAt = clock.nsecsElapsed();
            connected = true;
        }
    };
    Tunnel tunnel;
    tunnel.id = QStringLiteral("bench");
    tunnel.host = QStringLiteral("gateway");
    tunnel.bindPort = QStringLiteral("8080");
    const int runs = 300;
    QList<double> latencies;
    for (int i = 0; i < runs; ++i) {
        connecting = connected = false;
        logged = 0;
        latencyManager.start(tunnel);
        // Everything before the deciding line has been read and judged before the clock starts.
        if (!runUntil([&] { return connecting && logged == 9; }))
            return 1;
        QFile go(fifo);
        go.open(QIODevice::WriteOnly); // returns once the fake has opened its end
        clock.start();
        go.write("x\n");
        go.close();
        if (!runUntil([&] { return connected; }))
            return 1;
        latencies.append(connectedAt / 1000.0);
    }
    latencyManager.stopAll();
    std::sort(latencies.begin(), latencies.end());
    report("deciding line to onStatus (median)", percentile(latencies, 0.5), "us");
    report("deciding line to onStatus (p99)", percentile(latencies, 0.99), "us");

    // Baseline: the same fake read with a blocking wait on its pipe, no runner involved. The difference to the
    // figures above is what the runner adds; the rest is the fake waking up and the scheduler.
    QList<double> baseline;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(decider, {});
        if (!process.waitForStarted())
            return 1;
        QByteArray before;
        while (!before.contains("Local forwarding listening on 127.0.0.1 port 8080.\r\n") &&
               process.waitForReadyRead(10000))
            before += process.readAll();
        QFile go(fifo);
        go.open(QIODevice::WriteOnly);
        clock.start();
        go.write("x\n");
        go.close();
        while (!process.canReadLine() && process.waitForReadyRead(10000)) {
        }
        baseline.append(clock.nsecsElapsed() / 1000.0);
        process.kill();
        process.waitForFinished();
    }
    std::sort(baseline.begin(), baseline.end());
    report("baseline: same line read directly from the pipe (median)", percentile(baseline, 0.5), "us");
    report("baseline: same line read directly from the pipe (p99)", percentile(baseline, 0.99), "us");

    // Throughput: a fake that prints many typical verbose lines as fast as it can, then exits.
    const int lines = 200000;
    const QString chatter = writeScript(
        dir, QStringLiteral("chatter"),
        QStringLiteral("yes 'debug1: channel 3: free: direct-tcpip: listening port 8080 for localhost port 80, "
                       "connect from 127.0.0.1 port 51234 to 127.0.0.1 port 8080, nchannels 4' | head -n %1")
            .arg(lines));
    SSHManager throughputManager(chatter);
    int received = 0;
    bool exited = false;
    throughputManager.onLog = [&](const QString &, quint64, const LogLine &) { ++received; };
    throughputManager.onStatus = [&](const QString &, quint64, TunnelStatus status, const std::optional<QString> &) {
        exited = exited || status == TunnelStatus::Failed;
    };
    QElapsedTimer timer;
    timer.start();
    throughputManager.start(tunnel);
    if (!runUntil([&] { return exited; }, 300000) || received != lines) {
        std::printf("received %d of %d lines\n", received, lines);
        return 1;
    }
    report("reader throughput into onLog", lines / (timer.nsecsElapsed() / 1e9), "lines/s");
    return 0;
}
