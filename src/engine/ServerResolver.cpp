#include "engine/ServerResolver.h"

#include "ssh/ChildProcess.h"

#include <QObject>
#include <QProcess>
#include <QTimer>

namespace {

// A jump host may itself be reached through another; a loop of aliases must still end.
constexpr int maxHops = 4;

std::optional<quint16> readPort(QStringView text)
{
    bool ok = false;
    const uint port = text.toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

// One lookup in flight: runs `ssh -G` (again for each hop), completes once, then deletes itself.
class Lookup : public QObject {
public:
    Lookup(QString program, QStringList arguments, int timeoutMs, ServerResolver::Completion done)
        : m_program(std::move(program)), m_arguments(std::move(arguments)), m_done(std::move(done))
    {
        m_timeout.setSingleShot(true);
        m_timeout.setInterval(timeoutMs);
        connect(&m_timeout, &QTimer::timeout, this, [this] { complete(std::nullopt); });
        // Only the printed configuration matters; the verbose lines on stderr are dropped.
        m_process->setStandardErrorFile(QProcess::nullDevice());
        m_process->setStandardInputFile(QProcess::nullDevice());
        m_process->setChildProcessModifier(ChildProcess::setup());
        connect(m_process, &QProcess::finished, this, &Lookup::finished);
        connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                complete(std::nullopt);
        });
    }

    // Destroyed with its owner before it completed: the ssh still running is ended without reporting anything.
    ~Lookup() override { release(); }

    void begin(const QStringList &arguments)
    {
        m_timeout.start();
        m_process->start(m_program, QStringList{QStringLiteral("-G")} + arguments);
    }
    void begin() { begin(m_arguments); }

private:
    void finished(int exitCode, QProcess::ExitStatus status)
    {
        if (m_completed)
            return;
        if (status != QProcess::NormalExit || exitCode != 0)
            return complete(std::nullopt);
        const ServerResolver::Reading reading = ServerResolver::read(m_process->readAllStandardOutput());
        if (reading.hopHost && ++m_hops < maxHops) {
            // The next run starts once this one's process has been fully let go of.
            const QStringList next = ServerResolver::hopArguments(m_arguments, *reading.hopHost, reading.hopPort);
            QMetaObject::invokeMethod(
                this, [this, next] { begin(next); }, Qt::QueuedConnection);
            return;
        }
        complete(reading.server);
    }

    void complete(std::optional<ServerAddress> server)
    {
        if (m_completed)
            return;
        m_completed = true;
        m_timeout.stop();
        release();
        ServerResolver::Completion done = std::move(m_done);
        deleteLater();
        if (done)
            done(std::move(server));
    }

    // Lets go of the process: one still running is ended and deleted once it has exited, without blocking.
    void release()
    {
        if (!m_process)
            return;
        m_process->disconnect(this);
        ChildProcess::end(m_process);
        m_process = nullptr;
    }

    QString m_program;
    QStringList m_arguments;
    ServerResolver::Completion m_done;
    // Not a child of the lookup: it may outlive it while it ends.
    QProcess *m_process = new QProcess;
    QTimer m_timeout;
    int m_hops = 0;
    bool m_completed = false;
};

} // namespace

ServerResolver::Reading ServerResolver::read(const QByteArray &output)
{
    QString host;
    std::optional<quint16> port;
    QString proxyJump;
    QString proxyCommand;
    for (const QByteArray &raw : output.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype space = line.indexOf(u' ');
        if (space <= 0)
            continue;
        const QString key = line.left(space).toLower();
        const QString value = line.mid(space + 1).trimmed();
        if (key == QLatin1String("hostname"))
            host = value;
        else if (key == QLatin1String("port"))
            port = readPort(value);
        else if (key == QLatin1String("proxyjump"))
            proxyJump = value;
        else if (key == QLatin1String("proxycommand"))
            proxyCommand = value;
    }

    Reading reading;
    if (!proxyCommand.isEmpty() && proxyCommand.compare(QLatin1String("none"), Qt::CaseInsensitive) != 0)
        return reading;
    if (!proxyJump.isEmpty() && proxyJump.compare(QLatin1String("none"), Qt::CaseInsensitive) != 0) {
        // The first of "[user@]host[:port]" or "ssh://[user@]host[:port]", comma separated; "[v6]:port" too.
        QString hop = proxyJump.section(u',', 0, 0).trimmed();
        if (hop.startsWith(QLatin1String("ssh://")))
            hop = hop.mid(6);
        hop = hop.mid(hop.lastIndexOf(u'@') + 1);
        QString hopHost = hop;
        std::optional<quint16> hopPort;
        if (hop.startsWith(u'[')) {
            const qsizetype close = hop.indexOf(u']');
            if (close < 0)
                return reading;
            hopHost = hop.mid(1, close - 1);
            if (hop.mid(close + 1).startsWith(u':'))
                hopPort = readPort(QStringView(hop).mid(close + 2));
        } else if (hop.count(u':') == 1) {
            hopHost = hop.section(u':', 0, 0);
            hopPort = readPort(hop.section(u':', 1));
        }
        // A name that reads as an option is not a host (and must never reach ssh's command line as one).
        if (!hopHost.isEmpty() && !hopHost.startsWith(u'-'))
            reading.hopHost = hopHost;
        reading.hopPort = hopPort;
        return reading;
    }
    if (!host.isEmpty() && port)
        reading.server = ServerAddress{host, *port};
    return reading;
}

QStringList ServerResolver::hopArguments(const QStringList &tunnelArguments, const QString &host,
                                         std::optional<quint16> port)
{
    // ssh hands the configuration file (and nothing else of its command line) on to the hop's own ssh.
    QStringList args;
    for (qsizetype i = 0; i + 1 < tunnelArguments.size(); ++i) {
        if (tunnelArguments.at(i) == QLatin1String("-F")) {
            args << QStringLiteral("-F") << tunnelArguments.at(i + 1);
            break;
        }
    }
    if (port)
        args << QStringLiteral("-p") << QString::number(*port);
    args << host;
    return args;
}

void ServerResolver::resolve(const QString &sshProgram, const Tunnel &record, Completion done, int timeoutMs,
                             QObject *owner)
{
    auto *lookup = new Lookup(sshProgram, record.sshArguments(), timeoutMs, std::move(done));
    lookup->setParent(owner);
    // Start from the event loop, so that even a program that cannot start completes after resolve() has returned.
    QMetaObject::invokeMethod(
        lookup, [lookup] { lookup->begin(); }, Qt::QueuedConnection);
}
