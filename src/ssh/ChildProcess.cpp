#include "ssh/ChildProcess.h"

#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <unistd.h>

#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#endif

namespace ChildProcess {

std::function<void()> setup()
{
#if defined(Q_OS_LINUX)
    const pid_t parent = ::getpid();
    return [parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::raise(SIGTERM);
    };
#else
    return {};
#endif
}

void end(QProcess *process)
{
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    // A child that never started reports no finish: its failure ends it.
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            process->deleteLater();
    });
    // Once the event loop has ended, deleteLater never runs: a process nobody owns is adopted by the application
    // object, so it is still deleted (and the child reaped) when the application ends.
    QCoreApplication *app = QCoreApplication::instance();
    if (!process->parent() && app && process->thread() == app->thread())
        process->setParent(app);
    process->terminate();
    QTimer::singleShot(killGraceMs, process, [process] {
        if (process->state() != QProcess::NotRunning)
            process->kill();
    });
}

bool finishWithin(QProcess &process, int timeoutMs)
{
    if (process.waitForFinished(timeoutMs))
        return true;
    if (process.state() == QProcess::NotRunning)
        return false;
    process.terminate();
    if (!process.waitForFinished(killGraceMs)) {
        process.kill();
        process.waitForFinished();
    }
    return false;
}

} // namespace ChildProcess
