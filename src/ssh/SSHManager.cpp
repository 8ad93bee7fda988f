#include "ssh/SSHManager.h"

#include "log/Log.h"
#include "ssh/SSHCommandLine.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QMutexLocker>
#include <QProcess>
#include <array>
#include <csignal>
#include <unistd.h>

#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#endif

namespace {

// An unterminated line longer than this is handled as a line of its own rather than held back for ever.
constexpr qsizetype maxPendingBytes = 64 * 1024;

struct FailureRow {
    QLatin1StringView pattern;
    QLatin1StringView reason;
};

constexpr std::array<FailureRow, 11> failureTable{{
    {QLatin1StringView("Permission denied"), QLatin1StringView("Permission denied")},
    {QLatin1StringView("Connection refused"), QLatin1StringView("Connection refused")},
    {QLatin1StringView("Could not resolve hostname"), QLatin1StringView("Host not found")},
    {QLatin1StringView("Name or service not known"), QLatin1StringView("Host not found")},
    {QLatin1StringView("Connection timed out"), QLatin1StringView("Connection timed out")},
    {QLatin1StringView("Operation timed out"), QLatin1StringView("Connection timed out")},
    {QLatin1StringView("Host key verification failed"), QLatin1StringView("Host key verification failed")},
    {QLatin1StringView("Address already in use"), QLatin1StringView("Local port already in use")},
    {QLatin1StringView("cannot listen to port"), QLatin1StringView("Cannot bind local port")},
    {QLatin1StringView("remote port forwarding failed"), QLatin1StringView("Remote forwarding failed")},
    {QLatin1StringView("No route to host"), QLatin1StringView("No route to host")},
}};

constexpr std::array<QLatin1StringView, 4> connectedPhrases{
    QLatin1StringView("Local forwarding listening"), QLatin1StringView("All requested forwarding succeeded"),
    QLatin1StringView("remote forward success"), QLatin1StringView("Entering interactive session")};

const QString invalidHostName = QStringLiteral("Invalid host name");

// Runs in the child between fork and exec: the child gets SIGTERM when Flumewire dies, however it dies, so no ssh
// is left holding a port. If the parent is already gone by then, end at once.
std::function<void()> childSetup()
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

} // namespace

struct SSHManager::Child {
    QString id;
    TunnelType type = TunnelType::Local;
    QProcess *process = nullptr;
    // Bytes after the last line break, waiting for the rest of their line.
    QByteArray pending;
    bool established = false;
    std::optional<QString> lastFailure;
};

SSHManager::SSHManager(const QString &program, QObject *parent) : QObject(parent), m_program(program) {}

SSHManager::~SSHManager()
{
    stopAll();
    // Children asked to end get a moment to do so, so the process objects need not kill them on destruction.
    for (QProcess *process : findChildren<QProcess *>(Qt::FindDirectChildrenOnly)) {
        if (process->state() != QProcess::NotRunning)
            process->waitForFinished(1000);
    }
}

void SSHManager::start(const Tunnel &tunnel)
{
    stop(tunnel.id);

    if (destinationIsUnsafe(tunnel)) {
        logUnsafeDestination(tunnel.id, tunnel);
        emitStatus(tunnel.id, TunnelStatus::Failed, invalidHostName);
        return;
    }

    const QStringList args = tunnel.sshArguments();
    Log::ssh(Log::Level::Default, QStringLiteral("start %1: ssh %2").arg(tunnel.id, args.join(QLatin1Char(' '))));

    auto child = std::make_shared<Child>();
    child->id = tunnel.id;
    child->type = tunnel.type;
    child->process = new QProcess(this);
    QProcess *process = child->process;
    process->setProgram(m_program);
    process->setArguments(args);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setInputChannelMode(QProcess::ForwardedInputChannel);
    process->setChildProcessModifier(childSetup());
    connect(process, &QProcess::readyReadStandardOutput, this, [this, child] { readOutput(child); });
    connect(process, &QProcess::finished, this, [this, child](int exitCode) { handleExit(child, exitCode); });

    process->start();
    if (!process->waitForStarted()) {
        const QString description = process->errorString();
        Log::ssh(Log::Level::Error, QStringLiteral("launch failed %1: %2").arg(tunnel.id, description));
        retire(child);
        emitStatus(tunnel.id, TunnelStatus::Failed, description);
        return;
    }

    {
        QMutexLocker locker(&m_lock);
        m_procs[tunnel.id] = child;
    }
    emitStatus(tunnel.id, TunnelStatus::Connecting, std::nullopt);
}

void SSHManager::stop(const QString &id)
{
    std::shared_ptr<Child> child;
    {
        QMutexLocker locker(&m_lock);
        const auto it = m_procs.find(id);
        if (it == m_procs.end())
            return;
        child = it->second;
        m_procs.erase(it);
    }
    Log::ssh(Log::Level::Default, QStringLiteral("stop %1").arg(id));
    retire(child);
}

void SSHManager::stopAll()
{
    std::map<QString, std::shared_ptr<Child>> children;
    {
        QMutexLocker locker(&m_lock);
        children.swap(m_procs);
    }
    for (const auto &entry : children)
        retire(entry.second);
}

bool SSHManager::isRunning(const QString &id) const
{
    QMutexLocker locker(&m_lock);
    const auto it = m_procs.find(id);
    return it != m_procs.end() && it->second->process->state() != QProcess::NotRunning;
}

std::optional<QString> SSHManager::failureReason(const QString &text)
{
    for (const FailureRow &row : failureTable) {
        if (text.contains(row.pattern, Qt::CaseSensitive))
            return QString(row.reason);
    }
    return std::nullopt;
}

bool SSHManager::indicatesConnected(const QString &text)
{
    for (const QLatin1StringView phrase : connectedPhrases) {
        if (text.contains(phrase, Qt::CaseSensitive))
            return true;
    }
    return false;
}

bool SSHManager::confirmsForwarding(TunnelType type, const QString &text)
{
    // ssh announces a local listener before binding it, and enters its session before the server has answered a
    // remote forward. For local and SOCKS forwards the session starts only after every listener is bound (a bind
    // failure ends ssh first); a remote forward is up only once the server has accepted it.
    if (type == TunnelType::Remote)
        return text.contains(QLatin1StringView("remote forward success")) ||
               text.contains(QLatin1StringView("All requested forwarding succeeded"));
    return text.contains(QLatin1StringView("Entering interactive session"));
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
                      const QString &program)
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
    process->setChildProcessModifier(childSetup());
    QObject::connect(process, &QProcess::finished, process,
                     [process, finish, logVerdict](int exitCode, QProcess::ExitStatus exitStatus) {
                         const QString text = QString::fromUtf8(process->readAllStandardError());
                         const bool ok = exitStatus == QProcess::NormalExit && exitCode == 0;
                         const QString message = ok ? QStringLiteral("Connected")
                                                    : failureReason(text).value_or(QStringLiteral("Could not connect"));
                         logVerdict(message);
                         finish(ok, message);
                         process->deleteLater();
                     });
    process->start();
    if (!process->waitForStarted()) {
        const QString description = process->errorString();
        QObject::disconnect(process, &QProcess::finished, process, nullptr);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished();
        }
        process->deleteLater();
        finish(false, description);
    }
}

void SSHManager::readOutput(const std::shared_ptr<Child> &child)
{
    handleChunk(child, child->process->readAllStandardOutput(), false);
}

void SSHManager::handleChunk(const std::shared_ptr<Child> &child, const QByteArray &bytes, bool atEnd)
{
    child->pending += bytes;
    qsizetype cut = std::max(child->pending.lastIndexOf('\n'), child->pending.lastIndexOf('\r'));
    if (atEnd || child->pending.size() - (cut + 1) > maxPendingBytes)
        cut = child->pending.size() - 1;
    if (cut < 0)
        return;
    // Whole lines only: a multi-byte character is never cut, and bytes that are not UTF-8 become U+FFFD.
    const QString text = QString::fromUtf8(child->pending.constData(), cut + 1);
    child->pending.remove(0, cut + 1);

    qsizetype begin = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text.at(i) != QLatin1Char('\n') && text.at(i) != QLatin1Char('\r'))
            continue;
        const QString line = trimSpacesAndTabs(text.mid(begin, i - begin));
        begin = i + 1;
        if (!line.isEmpty())
            handleLine(child, line);
    }
}

void SSHManager::handleLine(const std::shared_ptr<Child> &child, const QString &line)
{
    emitLog(child->id, line);
    Log::ssh(Log::Level::Debug, QStringLiteral("[%1] %2").arg(child->id, line));
    if (child->established)
        return;
    if (const std::optional<QString> reason = failureReason(line)) {
        // The first recognised failure is the cause; ssh's further complaints about it ("cannot listen to port"
        // after "Address already in use") must not replace it.
        if (child->lastFailure)
            return;
        child->lastFailure = reason;
        Log::ssh(Log::Level::Error, QStringLiteral("failed %1: %2").arg(child->id, *reason));
        emitStatus(child->id, TunnelStatus::Failed, reason);
        return;
    }
    if (confirmsForwarding(child->type, line)) {
        child->established = true;
        Log::ssh(Log::Level::Default, QStringLiteral("connected %1").arg(child->id));
        emitStatus(child->id, TunnelStatus::Connected, std::nullopt);
    }
}

void SSHManager::handleExit(const std::shared_ptr<Child> &child, int exitCode)
{
    // Whatever is still buffered, including a last line without a line break, is read before deciding.
    handleChunk(child, child->process->readAllStandardOutput(), true);
    {
        QMutexLocker locker(&m_lock);
        const auto it = m_procs.find(child->id);
        if (it != m_procs.end() && it->second == child)
            m_procs.erase(it);
    }
    Log::ssh(Log::Level::Default, QStringLiteral("exited %1 code=%2 established=%3")
                                      .arg(child->id)
                                      .arg(exitCode)
                                      .arg(boolText(child->established)));
    const QString reason = child->lastFailure   ? *child->lastFailure
                           : child->established ? QStringLiteral("Disconnected")
                                                : QStringLiteral("Connection failed");
    emitStatus(child->id, TunnelStatus::Failed, reason);
    child->process->disconnect(this);
    child->process->deleteLater();
}

void SSHManager::retire(const std::shared_ptr<Child> &child)
{
    QProcess *process = child->process;
    process->disconnect(this);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    // Deleted once it has exited, so the child is reaped and its pipes closed; its exit is never reported.
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->terminate();
}

void SSHManager::emitStatus(const QString &id, TunnelStatus status, const std::optional<QString> &reason)
{
    QMetaObject::invokeMethod(
        this,
        [this, id, status, reason] {
            if (onStatus)
                onStatus(id, status, reason);
        },
        Qt::QueuedConnection);
}

void SSHManager::emitLog(const QString &id, const QString &text)
{
    const LogLine line = LogLine::make(text);
    QMetaObject::invokeMethod(
        this,
        [this, id, line] {
            if (onLog)
                onLog(id, line);
        },
        Qt::QueuedConnection);
}
