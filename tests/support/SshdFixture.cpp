#include "support/SshdFixture.h"

#include "support/FreePort.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> out;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(tid + QStringLiteral("/children")));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &piece : file.readAll().split(' ')) {
            bool ok = false;
            const qint64 child = piece.trimmed().toLongLong(&ok);
            if (ok)
                out << child;
        }
    }
    return out;
}

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && text.size() > close + 2 && text.at(close + 2) == 'Z';
}

} // namespace

SshdFixture::SshdFixture() : m_user(loginName())
{
    m_sshd.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_sshd, &QProcess::readyReadStandardOutput, &m_sshd,
                     [this] { m_log += m_sshd.readAllStandardOutput(); });
}

SshdFixture::~SshdFixture()
{
    stop();
}

bool SshdFixture::available()
{
    return QFileInfo(sshdPath).isExecutable();
}

bool SshdFixture::writeFile(const QString &name, const QByteArray &data) const
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data) == data.size();
}

bool SshdFixture::runKeygen(const QString &path)
{
    QProcess keygen;
    keygen.setProcessChannelMode(QProcess::MergedChannels);
    keygen.start(QStringLiteral("ssh-keygen"),
                 {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
                  QString(), QStringLiteral("-C"), QStringLiteral("flumewire-test"), QStringLiteral("-f"), path});
    if (!keygen.waitForFinished(30000) || keygen.exitStatus() != QProcess::NormalExit || keygen.exitCode() != 0) {
        m_error = QStringLiteral("ssh-keygen failed for %1: %2").arg(path, QString::fromLocal8Bit(keygen.readAll()));
        return false;
    }
    return true;
}

QString SshdFixture::sshConfigPath() const
{
    return m_dir.filePath(QStringLiteral("ssh_config"));
}

QString SshdFixture::wrongKeySshConfigPath() const
{
    return m_dir.filePath(QStringLiteral("ssh_config_wrong_key"));
}

QString SshdFixture::clientKeyPath() const
{
    return m_dir.filePath(QStringLiteral("client_key"));
}

QString SshdFixture::wrongKeyPath() const
{
    return m_dir.filePath(QStringLiteral("wrong_key"));
}

bool SshdFixture::start(quint16 port)
{
    if (!available()) {
        m_error = QStringLiteral("%1 is missing").arg(sshdPath);
        return false;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    if (!runKeygen(m_dir.filePath(QStringLiteral("host_key"))) || !runKeygen(clientKeyPath()) ||
        !runKeygen(wrongKeyPath()))
        return false;
    QFile publicKey(clientKeyPath() + QStringLiteral(".pub"));
    if (!publicKey.open(QIODevice::ReadOnly) || !writeFile(QStringLiteral("authorized_keys"), publicKey.readAll())) {
        m_error = QStringLiteral("cannot write authorized_keys");
        return false;
    }
    QString bannerLine;
    if (!m_banner.isEmpty()) {
        if (!writeFile(QStringLiteral("banner"), m_banner)) {
            m_error = QStringLiteral("cannot write the banner");
            return false;
        }
        bannerLine = QStringLiteral("Banner %1\n").arg(m_dir.filePath(QStringLiteral("banner")));
    }
    // sshd refuses to start without its privilege-separation folder.
    QDir().mkpath(QStringLiteral("/run/sshd"));

    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = port != 0 ? port : freePort();
        const QString server =
            QStringLiteral("Port %1\n"
                           "ListenAddress 127.0.0.1\n"
                           "HostKey %2\n"
                           "PidFile %3\n"
                           "AuthorizedKeysFile %4\n"
                           "UsePAM no\n"
                           "StrictModes no\n"
                           "PermitRootLogin yes\n"
                           "PubkeyAuthentication yes\n"
                           "PasswordAuthentication no\n"
                           "KbdInteractiveAuthentication no\n"
                           "AllowTcpForwarding yes\n"
                           "GatewayPorts no\n"
                           "PermitListen any\n"
                           "PermitOpen any\n"
                           "LogLevel VERBOSE\n")
                .arg(m_port)
                .arg(m_dir.filePath(QStringLiteral("host_key")), m_dir.filePath(QStringLiteral("sshd.pid")),
                     m_dir.filePath(QStringLiteral("authorized_keys"))) +
            bannerLine;
        const QString clientTemplate = QStringLiteral("Host *\n"
                                                      "    HostName 127.0.0.1\n"
                                                      "    Port %1\n"
                                                      "    User %2\n"
                                                      "    IdentityFile %3\n"
                                                      "    IdentitiesOnly yes\n"
                                                      "    IdentityAgent none\n"
                                                      "    UserKnownHostsFile %4\n"
                                                      "    GlobalKnownHostsFile /dev/null\n"
                                                      "    StrictHostKeyChecking accept-new\n"
                                                      "    UpdateHostKeys no\n"
                                                      "    BatchMode yes\n");
        const QString knownHosts = m_dir.filePath(QStringLiteral("known_hosts"));
        if (!writeFile(QStringLiteral("sshd_config"), server.toUtf8()) ||
            !writeFile(QStringLiteral("ssh_config"),
                       clientTemplate.arg(m_port).arg(m_user, clientKeyPath(), knownHosts).toUtf8()) ||
            !writeFile(QStringLiteral("ssh_config_wrong_key"),
                       clientTemplate.arg(m_port).arg(m_user, wrongKeyPath(), knownHosts).toUtf8())) {
            m_error = QStringLiteral("cannot write the configuration files");
            return false;
        }

        m_log.clear();
        m_sshd.setProgram(sshdPath);
        m_sshd.setArguments({QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                             m_dir.filePath(QStringLiteral("sshd_config"))});
        // Its own process group, and it goes away with the test even if the test crashes.
        m_sshd.setChildProcessModifier([] {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        m_sshd.start();
        if (!m_sshd.waitForStarted(10000)) {
            m_error = QStringLiteral("cannot run %1: %2").arg(sshdPath, m_sshd.errorString());
            return false;
        }
        const QByteArray ready = QStringLiteral("Server listening on 127.0.0.1 port %1").arg(m_port).toUtf8();
        const QDeadlineTimer deadline(15000);
        while (!m_log.contains(ready) && m_sshd.state() == QProcess::Running && !deadline.hasExpired())
            m_sshd.waitForReadyRead(100);
        if (m_log.contains(ready))
            return true;
        m_error = QStringLiteral("sshd did not come up on port %1: %2").arg(m_port).arg(QString::fromLocal8Bit(m_log));
        if (m_sshd.state() != QProcess::NotRunning) {
            m_sshd.kill();
            m_sshd.waitForFinished(5000);
        }
        if (!m_log.contains("Address already in use"))
            return false;
    }
    return false;
}

QList<qint64> SshdFixture::sessionPids() const
{
    if (m_sshd.state() != QProcess::Running)
        return {};
    return childrenOf(m_sshd.processId());
}

void SshdFixture::killSessions()
{
    QList<qint64> sessions = sessionPids();
    for (const qint64 pid : sessions) {
        for (const qint64 grandchild : childrenOf(pid))
            ::kill(pid_t(grandchild), SIGKILL);
        ::kill(pid_t(pid), SIGKILL);
    }
    // The listener reaps them; wait until it has.
    const QDeadlineTimer deadline(10000);
    for (const qint64 pid : sessions) {
        while (!processGone(pid) && !deadline.hasExpired())
            QTest::qWait(10);
    }
}

void SshdFixture::stop()
{
    if (m_sshd.state() == QProcess::NotRunning)
        return;
    killSessions();
    m_sshd.terminate();
    if (!m_sshd.waitForFinished(5000)) {
        m_sshd.kill();
        m_sshd.waitForFinished(5000);
    }
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
