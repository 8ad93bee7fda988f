#include "ssh/PortHolder.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QFile>
#include <QSet>
#include <dirent.h>
#include <pwd.h>
#include <unistd.h>

// The kernel lists every TCP socket of this network namespace in /proc/net/tcp and /proc/net/tcp6 (local address
// as hex "ADDR:PORT", state 0A for listening, the owner's uid and the socket's inode). A process holds the socket
// when one of its /proc/PID/fd entries links to "socket:[INODE]".

namespace {

struct Listener {
    quint64 inode = 0;
    uint uid = 0;
};

QList<Listener> listenersOn(quint16 port)
{
    QList<Listener> out;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine(); // column titles
        while (!file.atEnd()) {
            const QByteArrayList fields = file.readLine().simplified().split(' ');
            if (fields.size() < 10 || fields.at(3) != "0A")
                continue;
            const QByteArray &local = fields.at(1);
            bool ok = false;
            const uint localPort = local.mid(local.lastIndexOf(':') + 1).toUInt(&ok, 16);
            if (!ok || localPort != port)
                continue;
            const quint64 inode = fields.at(9).toULongLong(&ok);
            if (ok && inode != 0)
                out.append(Listener{inode, fields.at(7).toUInt()});
        }
    }
    return out;
}

// The pid of a process with a descriptor on one of the sockets, or 0.
pid_t holderOf(const QSet<QByteArray> &links)
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return 0;
    pid_t found = 0;
    while (const dirent *entry = ::readdir(proc)) {
        bool isPid = false;
        const pid_t pid = QByteArray(entry->d_name).toInt(&isPid);
        if (!isPid)
            continue;
        const QByteArray fdPath = "/proc/" + QByteArray(entry->d_name) + "/fd";
        DIR *fds = ::opendir(fdPath.constData());
        if (!fds)
            continue; // gone, or another user's
        while (const dirent *fd = ::readdir(fds)) {
            char target[64];
            const QByteArray path = fdPath + '/' + fd->d_name;
            const ssize_t length = ::readlink(path.constData(), target, sizeof target);
            if (length > 0 && links.contains(QByteArray(target, length))) {
                found = pid;
                break;
            }
        }
        ::closedir(fds);
        if (found)
            break;
    }
    ::closedir(proc);
    return found;
}

QString commandOf(pid_t pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QStringLiteral("process");
    const QString name = QString::fromLocal8Bit(comm.readAll()).trimmed();
    return name.isEmpty() ? QStringLiteral("process") : name;
}

QString userName(uint uid)
{
    const struct passwd *entry = ::getpwuid(uid);
    return entry && entry->pw_name ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

} // namespace

std::optional<QString> PortHolder::describe(quint16 port)
{
    const QList<Listener> listeners = listenersOn(port);
    if (listeners.isEmpty())
        return std::nullopt;
    QSet<QByteArray> links;
    for (const Listener &listener : listeners)
        links.insert("socket:[" + QByteArray::number(listener.inode) + ']');
    if (const pid_t pid = holderOf(links))
        return QStringLiteral("%1 (pid %2)").arg(commandOf(pid)).arg(pid);
    return QStringLiteral("a process of user %1").arg(userName(listeners.first().uid));
}
