#include "support/SshdFixture.h"

#include "support/FreePort.h"
#include "support/TempHome.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <csignal>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

const QString sshdPath = QStringLiteral("/usr/sbin/sshd");

QString loginName()
{
    const struct passwd *entry = ::getpwuid(::geteuid());
    return entry && entry->pw_name ? QString::fromLocal8Bit(entry->pw_name) : qEnvironmentVariable("USER");
}

// The children of a process (sshd forks from its only thread), from /proc; with `deep`, their descendants too.
QList<qint64> childrenOf(qint64 pid, bool deep)
{
    QList<qint64> out;
    QFile file(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &piece : file.readAll().split(' ')) {
            if (const qint64 child = piece.trimmed().toLongLong(); child > 0)
                out << child << (deep ? childrenOf(child, true) : QList<qint64>());
        }
    }
    return out;
}

bool keygen(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ssh-keygen"), {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                                           QStringLiteral("-N"), QString(), "-f", path});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

SshdFixture::SshdFixture() : m_user(loginName())
{
    m_sshd.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_sshd, &QProcess::readyReadStandardOutput, &m_sshd,
                     [this] { m_log += m_sshd.readAllStandardOutput(); });
    // Its own process group, and it goes away with the test even if the test crashes.
    m_sshd.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
}

SshdFixture::~SshdFixture()
{
    stop();
}

bool SshdFixture::start(quint16 port)
{
    // The host key doubles as the client's wrong key: only the client key is authorized.
    if (!available() || !m_dir.isValid() || !keygen(path("host_key")) || !keygen(path("client_key"))) {
        m_error = QStringLiteral("no %1, no temporary folder or ssh-keygen failed").arg(sshdPath);
        return false;
    }
    // sshd refuses to start without its privilege-separation folder.
    QDir().mkpath(QStringLiteral("/run/sshd"));

    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = port != 0 ? port : freePort();
        const QString server = QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile %3\n"
                                              "AuthorizedKeysFile %4\nUsePAM no\nStrictModes no\nPermitRootLogin yes\n"
                                              "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                                              "PermitListen any\nPermitOpen any\nLogLevel VERBOSE\n")
                                   .arg(m_port)
                                   .arg(path("host_key"), path("sshd.pid"), path("client_key.pub"));
        const QString client = QStringLiteral("Host *\n    HostName 127.0.0.1\n    Port %1\n    User %2\n"
                                              "    IdentityFile %3\n    IdentitiesOnly yes\n    IdentityAgent none\n"
                                              "    UserKnownHostsFile %4\n    GlobalKnownHostsFile /dev/null\n"
                                              "    StrictHostKeyChecking accept-new\n    UpdateHostKeys no\n"
                                              "    BatchMode yes\n");
        // Written files are not checked: a missing one shows in sshd's or ssh's own complaint.
        const QString knownHosts = path("known_hosts");
        writeFile(path("sshd_config"), server.toUtf8());
        writeFile(path("ssh_config"), client.arg(m_port).arg(m_user, path("client_key"), knownHosts).toUtf8());
        writeFile(path("ssh_config_wrong_key"), client.arg(m_port).arg(m_user, path("host_key"), knownHosts).toUtf8());
        m_log.clear();
        m_sshd.start(sshdPath, {"-D", "-e", "-f", path("sshd_config")});
        const QByteArray ready = QStringLiteral("Server listening on 127.0.0.1 port %1").arg(m_port).toUtf8();
        const QDeadlineTimer deadline(15000);
        while (!m_log.contains(ready) && m_sshd.waitForReadyRead(int(deadline.remainingTime()))) {
        }
        if (m_log.contains(ready))
            return true;
        m_error = QStringLiteral("sshd did not come up on port %1: %2").arg(m_port).arg(QString::fromLocal8Bit(m_log));
        stop();
        if (!m_log.contains("Address already in use"))
            return false;
    }
    return false;
}

// A stopped listener has process id 0, whose /proc entry does not exist: no sessions.
void SshdFixture::signalSessions(int signal) const
{
    for (const qint64 pid : childrenOf(m_sshd.processId(), true))
        ::kill(pid_t(pid), signal);
}

void SshdFixture::killSessions()
{
    const QList<qint64> sessions = childrenOf(m_sshd.processId(), false);
    signalSessions(SIGKILL);
    // A child stays on the listener's list until it has been reaped.
    (void)QTest::qWaitFor(
        [&] {
            return std::ranges::none_of(
                sessions, [&](qint64 pid) { return childrenOf(m_sshd.processId(), false).contains(pid); });
        },
        10000);
}

void SshdFixture::stop()
{
    killSessions();
    m_sshd.kill();
    m_sshd.waitForFinished(5000);
}

Tunnel SshdFixture::tunnel(TunnelType type, const QString &id) const
{
    Tunnel t;
    t.id = id;
    t.name = id;
    t.type = type;
    t.host = QStringLiteral("127.0.0.1");
    t.sshPort = QString::number(m_port);
    t.user = m_user;
    t.extra = QStringLiteral("-F ") + sshConfigPath();
    return t;
}
