#include "ssh/SSHCommandLine.h"

#include "model/Tunnel.h"

#include <QDir>
#include <pwd.h>

namespace SSHCommandLine {

QString forwardSpec(const Tunnel &tunnel)
{
    const QString bind = tunnel.bind.isEmpty() ? QStringLiteral("localhost") : tunnel.bind;
    if (tunnel.type == TunnelType::Socks)
        return bind + QLatin1Char(':') + tunnel.bindPort;
    const QString target = tunnel.targetHost.isEmpty() ? QStringLiteral("localhost") : tunnel.targetHost;
    return bind + QLatin1Char(':') + tunnel.fwdBindPort() + QLatin1Char(':') + target + QLatin1Char(':') +
           tunnel.targetPort;
}

bool keepAliveApplies(const QString &keepAlive)
{
    if (keepAlive.isEmpty())
        return false;
    qsizetype start = 0;
    if (keepAlive.at(0) == QLatin1Char('+') || keepAlive.at(0) == QLatin1Char('-'))
        start = 1;
    if (start == keepAlive.size())
        return false;
    for (qsizetype i = start; i < keepAlive.size(); ++i) {
        const QChar c = keepAlive.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    const qlonglong value = keepAlive.toLongLong(&ok, 10);
    return ok && value >= 1;
}

QString expandTilde(const QString &path)
{
    if (!path.startsWith(QLatin1Char('~')))
        return path;
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    const QString name = path.mid(1, slash < 0 ? -1 : slash - 1);
    const QString rest = slash < 0 ? QString() : path.mid(slash);
    if (name.isEmpty())
        return QDir::homePath() + rest;
    const struct passwd *entry = getpwnam(name.toLocal8Bit().constData());
    if (!entry || !entry->pw_dir)
        return path;
    return QString::fromLocal8Bit(entry->pw_dir) + rest;
}

QString withTilde(const QString &path, const QString &home)
{
    const QString folder = QDir::cleanPath(home);
    if (home.isEmpty() || folder == QLatin1String("/"))
        return path;
    const QString clean = QDir::cleanPath(path);
    if (clean == folder)
        return QStringLiteral("~");
    if (clean.startsWith(folder + QLatin1Char('/')))
        return QLatin1Char('~') + clean.mid(folder.size());
    return path;
}

} // namespace SSHCommandLine

QStringList Tunnel::sshArguments() const
{
    using namespace SSHCommandLine;
    QStringList args{QStringLiteral("-v"), QStringLiteral("-N"),
                     QStringLiteral("-o"), QStringLiteral("ExitOnForwardFailure=yes"),
                     QStringLiteral("-o"), QStringLiteral("BatchMode=yes")};
    switch (type) {
    case TunnelType::Local:
        args << QStringLiteral("-L");
        break;
    case TunnelType::Remote:
        args << QStringLiteral("-R");
        break;
    case TunnelType::Socks:
        args << QStringLiteral("-D");
        break;
    }
    args << forwardSpec(*this);
    if (compression)
        args << QStringLiteral("-C");
    args << QStringLiteral("-o")
         << (QStringLiteral("StrictHostKeyChecking=") +
             (strictHostKey ? QStringLiteral("accept-new") : QStringLiteral("no")));
    if (keepAliveApplies(keepAlive))
        args << QStringLiteral("-o") << QStringLiteral("ServerAliveInterval=") + keepAlive;
    if (!identity.isEmpty())
        args << QStringLiteral("-i") << expandTilde(identity);
    if (!proxyJump.isEmpty())
        args << QStringLiteral("-J") << proxyJump;
    for (const QString &piece : extra.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        args << piece;
    args << QStringLiteral("-p") << sshPort << destination();
    return args;
}

QString Tunnel::displayCommand() const
{
    using namespace SSHCommandLine;
    QStringList parts{QStringLiteral("ssh")};
    const QString flag = type == TunnelType::Local    ? QStringLiteral("-L ")
                         : type == TunnelType::Remote ? QStringLiteral("-R ")
                                                      : QStringLiteral("-D ");
    parts << flag + forwardSpec(*this);
    if (compression)
        parts << QStringLiteral("-C");
    if (!strictHostKey)
        parts << QStringLiteral("-o StrictHostKeyChecking=no");
    if (keepAliveApplies(keepAlive))
        parts << QStringLiteral("-o ServerAliveInterval=") + keepAlive;
    if (!identity.isEmpty())
        parts << QStringLiteral("-i ") + identity;
    if (!proxyJump.isEmpty())
        parts << QStringLiteral("-J ") + proxyJump;
    if (!extra.isEmpty())
        parts << extra;
    parts << QStringLiteral("-p ") + sshPort;
    parts << QStringLiteral("-N ") + destination();
    return parts.join(QLatin1Char(' '));
}
