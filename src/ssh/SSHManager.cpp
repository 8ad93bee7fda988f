#include "ssh/SSHManager.h"

#include "log/Log.h"
#include "ssh/ChildProcess.h"
#include "ssh/PortHolder.h"
#include "ssh/SSHCommandLine.h"
#include "ssh/SSHOutputInterpreter.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QProcess>
#include <QTimer>

namespace {

void logUnsafeDestination(const QString &what, const Tunnel &tunnel)
{
    Log::ssh(Log::Level::Error,
             QStringLiteral("refused %1: destination \"%2\" begins with \"-\" and would be read by ssh as an option")
                 .arg(what, tunnel.destination()));
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

const QString connectionTimedOut = QStringLiteral("Connection timed out");
const QString invalidHostName = QStringLiteral("Invalid host name");

} // namespace

struct SSHManager::Child {
    explicit Child(TunnelType type) : interpreter(type) {}

    QString id;
    quint64 run = 0;
    // The listening port of a local or SOCKS forward (0 for a remote forward), for naming who holds it.
    quint16 localPort = 0;
    QProcess *process = nullptr;
    // Fires when the run is still connecting at the deadline; owned by the process object.
    QTimer *deadline = nullptr;
    SSHOutputInterpreter interpreter;
};

SSHManager::SSHManager(const QString &program, QObject *parent) : QObject(parent), m_program(program) {}

SSHManager::~SSHManager()
{
    stopAll();
    // Past the event loop's end no grace timer fires: children asked to end get a moment here, so the process
    // objects need not kill them on destruction.
    for (QProcess *process : findChildren<QProcess *>(Qt::FindDirectChildrenOnly)) {
        if (process->state() != QProcess::NotRunning)
            process->waitForFinished(1000);
    }
}

quint64 SSHManager::start(const Tunnel &tunnel)
{
    stop(tunnel.id);
    const quint64 run = ++m_lastRun;

    if (destinationIsUnsafe(tunnel)) {
        logUnsafeDestination(tunnel.id, tunnel);
        emitStatus(tunnel.id, run, TunnelStatus::Failed, invalidHostName);
        return run;
    }

    const QStringList args = tunnel.sshArguments();
    Log::ssh(Log::Level::Default, QStringLiteral("start %1: ssh %2").arg(tunnel.id, args.join(QLatin1Char(' '))));

    auto child = std::make_shared<Child>(tunnel.type);
    child->id = tunnel.id;
    child->run = run;
    if (tunnel.type != TunnelType::Remote)
        child->localPort = tunnel.bindPort.toUShort();
    child->process = new QProcess(this);
    QProcess *process = child->process;
    process->setProgram(m_program);
    process->setArguments(args);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setInputChannelMode(QProcess::ForwardedInputChannel);
    process->setChildProcessModifier(ChildProcess::setup());
    connect(process, &QProcess::readyReadStandardOutput, this,
            [this, child] { handleChunk(child, child->process->readAllStandardOutput(), false); });
    connect(process, &QProcess::finished, this, [this, child](int exitCode) { handleExit(child, exitCode); });
    // The run is connecting once the program runs; one that cannot be started fails with the launch error.
    connect(process, &QProcess::started, this, [this, child] {
        child->deadline->start(m_connectionDeadlineMs);
        emitStatus(child->id, child->run, TunnelStatus::Connecting, std::nullopt);
    });
    connect(process, &QProcess::errorOccurred, this, [this, child](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            handleLaunchFailure(child);
    });
    child->deadline = new QTimer(process);
    child->deadline->setSingleShot(true);
    connect(child->deadline, &QTimer::timeout, this, [this, child] { handleDeadline(child); });

    m_procs[tunnel.id] = child;
    process->start();
    return run;
}

void SSHManager::stop(const QString &id)
{
    const auto it = m_procs.find(id);
    if (it == m_procs.end())
        return;
    const std::shared_ptr<Child> child = it->second;
    m_procs.erase(it);
    Log::ssh(Log::Level::Default, QStringLiteral("stop %1").arg(id));
    retire(child);
}

void SSHManager::stopAll()
{
    std::map<QString, std::shared_ptr<Child>> children;
    children.swap(m_procs);
    for (const auto &entry : children)
        retire(entry.second);
}

bool SSHManager::isRunning(const QString &id) const
{
    const auto it = m_procs.find(id);
    return it != m_procs.end() && it->second->process->state() != QProcess::NotRunning;
}

std::optional<QString> SSHManager::failureReason(const QString &text)
{
    return SSHOutputInterpreter::failureReason(text);
}

bool SSHManager::indicatesConnected(const QString &text)
{
    return SSHOutputInterpreter::indicatesConnected(text);
}

bool SSHManager::destinationIsUnsafe(const Tunnel &tunnel)
{
    return tunnel.destination().startsWith(QLatin1Char('-'));
}

QStringList SSHManager::testArguments(const Tunnel &tunnel)
{
    QStringList args{QStringLiteral("-o"),
                     QStringLiteral("BatchMode=yes"),
                     QStringLiteral("-o"),
                     QStringLiteral("ConnectTimeout=8"),
                     QStringLiteral("-o"),
                     QStringLiteral("StrictHostKeyChecking=") +
                         (tunnel.strictHostKey ? QStringLiteral("accept-new") : QStringLiteral("no"))};
    if (!tunnel.identity.isEmpty())
        args << QStringLiteral("-i") << SSHCommandLine::expandTilde(tunnel.identity);
    if (!tunnel.proxyJump.isEmpty())
        args << QStringLiteral("-J") << tunnel.proxyJump;
    args << QStringLiteral("-p") << tunnel.sshPort << tunnel.destination() << QStringLiteral("true");
    return args;
}

void SSHManager::test(const Tunnel &tunnel, std::function<void(bool ok, QString message)> completion,
                      const QString &program, int deadlineMs)
{
    QObject *context = QCoreApplication::instance();
    const auto finish = [context, completion](bool ok, const QString &message) {
        QMetaObject::invokeMethod(
            context,
            [completion, ok, message] {
                if (completion)
                    completion(ok, message);
            },
            Qt::QueuedConnection);
    };
    const QString user = tunnel.user;
    const QString host = tunnel.host;
    const auto logVerdict = [user, host](const QString &message) {
        Log::ssh(Log::Level::Default, QStringLiteral("test %1@%2: %3").arg(user, host, message));
    };

    if (destinationIsUnsafe(tunnel)) {
        logUnsafeDestination(QStringLiteral("test"), tunnel);
        logVerdict(invalidHostName);
        finish(false, invalidHostName);
        return;
    }

    auto *process = new QProcess(context);
    process->setProgram(program);
    process->setArguments(testArguments(tunnel));
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setInputChannelMode(QProcess::ForwardedInputChannel);
    process->setChildProcessModifier(ChildProcess::setup());
    // Whichever comes first, ssh's exit or the deadline, gives the one answer; the other is then cut off.
    auto *deadline = new QTimer(process);
    deadline->setSingleShot(true);
    QObject::connect(process, &QProcess::finished, deadline,
                     [process, deadline, finish, logVerdict](int exitCode, QProcess::ExitStatus exitStatus) {
                         deadline->stop();
                         const QString text = QString::fromUtf8(process->readAllStandardError());
                         const bool ok = exitStatus == QProcess::NormalExit && exitCode == 0;
                         const QString message = ok ? QStringLiteral("Connected")
                                                    : failureReason(text).value_or(QStringLiteral("Could not connect"));
                         logVerdict(message);
                         finish(ok, message);
                         process->deleteLater();
                     });
    QObject::connect(deadline, &QTimer::timeout, process, [process, deadline, finish, logVerdict] {
        QObject::disconnect(process, &QProcess::finished, deadline, nullptr);
        logVerdict(connectionTimedOut);
        finish(false, connectionTimedOut);
        ChildProcess::end(process);
    });
    QObject::connect(process, &QProcess::errorOccurred, deadline,
                     [process, deadline, finish](QProcess::ProcessError e) {
                         if (e != QProcess::FailedToStart)
                             return;
                         deadline->stop();
                         finish(false, process->errorString());
                         process->deleteLater();
                     });
    process->start();
    deadline->start(deadlineMs);
}

void SSHManager::handleChunk(const std::shared_ptr<Child> &child, const QByteArray &bytes, bool atEnd)
{
    for (const SSHOutputLine &line : child->interpreter.feed(bytes, atEnd)) {
        emitLog(child->id, child->run, line.text);
        // Every line of ssh's output passes here: formatted only when someone reads debug messages.
        if (Log::isEnabled(Log::Category::Ssh, Log::Level::Debug))
            Log::ssh(Log::Level::Debug, QStringLiteral("[%1] %2").arg(child->id, line.text));
        if (line.connects) {
            child->deadline->stop();
            Log::ssh(Log::Level::Default, QStringLiteral("connected %1").arg(child->id));
            emitStatus(child->id, child->run, TunnelStatus::Connected, std::nullopt);
        }
    }
}

void SSHManager::handleExit(const std::shared_ptr<Child> &child, int exitCode)
{
    // Whatever is still buffered, including a last line without a line break, is read before deciding.
    handleChunk(child, child->process->readAllStandardOutput(), true);
    child->deadline->stop();
    forget(child);
    const bool established = child->interpreter.established();
    Log::ssh(
        Log::Level::Default,
        QStringLiteral("exited %1 code=%2 established=%3").arg(child->id).arg(exitCode).arg(boolText(established)));
    const QString reason = child->interpreter.exitReason();
    if (!established) {
        Log::ssh(Log::Level::Error, QStringLiteral("failed %1: %2").arg(child->id, reason));
        if (reason == QLatin1StringView("Local port already in use"))
            reportPortHolder(child);
    }
    emitStatus(child->id, child->run, TunnelStatus::Failed, reason);
    child->process->disconnect(this);
    child->process->deleteLater();
}

void SSHManager::handleDeadline(const std::shared_ptr<Child> &child)
{
    if (child->interpreter.established())
        return;
    forget(child);
    const QString note =
        QStringLiteral("No connection after %1 s: ssh stopped").arg(QString::number(m_connectionDeadlineMs / 1000.0));
    emitLog(child->id, child->run, note);
    Log::ssh(Log::Level::Error, QStringLiteral("failed %1: %2 (%3)").arg(child->id, connectionTimedOut, note));
    retire(child);
    emitStatus(child->id, child->run, TunnelStatus::Failed, connectionTimedOut);
}

void SSHManager::reportPortHolder(const std::shared_ptr<Child> &child)
{
    if (child->localPort == 0)
        return;
    const std::optional<QString> holder = PortHolder::describe(child->localPort);
    if (!holder)
        return;
    const QString note = QStringLiteral("port %1 is held by %2").arg(child->localPort).arg(*holder);
    Log::ssh(Log::Level::Default, QStringLiteral("busy %1: %2").arg(child->id, note));
    emitLog(child->id, child->run, note);
}

void SSHManager::forget(const std::shared_ptr<Child> &child)
{
    const auto it = m_procs.find(child->id);
    if (it != m_procs.end() && it->second == child)
        m_procs.erase(it);
}

void SSHManager::retire(const std::shared_ptr<Child> &child)
{
    // Its exit and any output still to come are never reported.
    child->process->disconnect(this);
    child->deadline->stop();
    child->deadline->disconnect(this);
    ChildProcess::end(child->process);
}

void SSHManager::handleLaunchFailure(const std::shared_ptr<Child> &child)
{
    forget(child);
    const QString description = child->process->errorString();
    Log::ssh(Log::Level::Error, QStringLiteral("launch failed %1: %2").arg(child->id, description));
    retire(child);
    emitStatus(child->id, child->run, TunnelStatus::Failed, description);
}

void SSHManager::emitStatus(const QString &id, quint64 run, TunnelStatus status, const std::optional<QString> &reason)
{
    QMetaObject::invokeMethod(
        this,
        [this, id, run, status, reason] {
            if (onStatus)
                onStatus(id, run, status, reason);
        },
        Qt::QueuedConnection);
}

void SSHManager::emitLog(const QString &id, quint64 run, const QString &text)
{
    const LogLine line = LogLine::make(text);
    QMetaObject::invokeMethod(
        this,
        [this, id, run, line] {
            if (onLog)
                onLog(id, run, line);
        },
        Qt::QueuedConnection);
}
