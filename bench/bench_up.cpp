#include "BenchTimer.h"
#include "model/Store.h"
#include "support/FreePort.h"
#include "support/SshdFixture.h"
#include "support/TempHome.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <QThread>
#include <unistd.h>

// Memory and idle CPU of `flumewire up` keeping N tunnels connected to a real sshd on 127.0.0.1: resident memory once
// every tunnel is connected and after a settling time, and the CPU it uses over an idle stretch.
//   bench_up [--binary PATH] [--tunnels 10,50] [--settle SECONDS] [--idle SECONDS]
namespace {

// A field of /proc/PID/status in kB (VmRSS, VmHWM).
double statusKb(qint64 pid, const QByteArray &field)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toDouble();
    }
    return -1;
}

// User plus system CPU time of the process so far, in milliseconds.
double cpuMs(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // Fields after the command name (which is in parentheses and may hold spaces): utime is the 14th, stime the 15th.
    const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double ticks = rest.value(11).toDouble() + rest.value(12).toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

void waitSeconds(int seconds)
{
    const QDeadlineTimer deadline(qint64(seconds) * 1000);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        QThread::msleep(100);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({"binary", "the flumewire program", "path", QStringLiteral(FLUMEWIRE_BINARY)});
    parser.addOption({"tunnels", "tunnel counts, comma separated", "list", "10,50"});
    parser.addOption({"settle", "seconds to wait after all connected", "seconds", "60"});
    parser.addOption({"idle", "seconds over which idle CPU is measured", "seconds", "60"});
    parser.process(app);
    const int settle = parser.value("settle").toInt();
    const int idle = parser.value("idle").toInt();
    QTextStream out(stdout);

    SshdFixture sshd;
    if (!sshd.start()) {
        out << "bench_up: no sshd: " << sshd.error() << Qt::endl;
        return 1;
    }
    for (const QString &countText : parser.value("tunnels").split(u',')) {
        const int count = countText.toInt();
        TempHome home;
        QList<Tunnel> tunnels;
        for (int i = 0; i < count; ++i) {
            Tunnel t = sshd.tunnel(TunnelType::Local, QStringLiteral("t%1").arg(i));
            t.bindPort = QString::number(freePort());
            t.targetHost = QStringLiteral("127.0.0.1");
            t.targetPort = QStringLiteral("9");
            t.autostart = true;
            tunnels.append(t);
        }
        Store::save(tunnels, true);

        QProcess up;
        QByteArray said;
        QObject::connect(&up, &QProcess::readyReadStandardOutput, &up, [&] { said += up.readAllStandardOutput(); });
        up.start(parser.value("binary"), {QStringLiteral("up")});
        if (!up.waitForStarted(10000)) {
            out << "bench_up: cannot start " << parser.value("binary") << Qt::endl;
            return 1;
        }
        // Every tunnel connected: its last status line says so (sshd may turn some away at first; up retries them).
        const auto allConnected = [&] {
            int connected = 0;
            for (const Tunnel &t : std::as_const(tunnels)) {
                const QByteArray mark = ' ' + t.id.toUtf8() + ' ';
                const qsizetype at = said.lastIndexOf(mark);
                connected += at >= 0 && said.mid(at + mark.size()).startsWith("connected\n");
            }
            return connected == count;
        };
        QDeadlineTimer deadline(180'000);
        while (!allConnected() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        if (!allConnected()) {
            out << "bench_up: not every tunnel connected within 180 s" << Qt::endl;
            up.terminate();
            up.waitForFinished(10000);
            return 1;
        }
        const qint64 pid = up.processId();
        const QByteArray tag = QByteArray::number(count) + "_tunnels";
        report(("up_rss_" + tag + "_all_connected").constData(), statusKb(pid, "VmRSS") / 1024, "MB");
        waitSeconds(settle);
        report(("up_rss_" + tag + "_after_" + QByteArray::number(settle) + "s").constData(),
               statusKb(pid, "VmRSS") / 1024, "MB");
        const double before = cpuMs(pid);
        waitSeconds(idle);
        const double used = cpuMs(pid) - before;
        report(("up_cpu_" + tag + "_idle_" + QByteArray::number(idle) + "s").constData(), used, "ms");
        report(("up_cpu_" + tag + "_idle_share").constData(), used / (idle * 10.0), "%");
        report(("up_peak_rss_" + tag).constData(), statusKb(pid, "VmHWM") / 1024, "MB");
        up.terminate();
        up.waitForFinished(20000);
    }
    return 0;
}
