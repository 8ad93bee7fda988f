#include "support/FakeDesktopServices.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

FakeNotifications::FakeNotifications(const QDBusConnection &bus) : m_bus(bus)
{
    m_registered =
        m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this, QDBusConnection::ExportAllSlots) &&
        m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

FakeNotifications::~FakeNotifications()
{
    m_bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    m_bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
}

uint FakeNotifications::Notify(const QString &app, uint, const QString &, const QString &summary, const QString &body,
                               const QStringList &, const QVariantMap &, int)
{
    notes.append({app, summary, body});
    return uint(notes.size());
}

QStringList FakeNotifications::texts() const
{
    QStringList result;
    for (const Note &note : notes)
        result.append(note.summary + QStringLiteral(" | ") + note.body);
    return result;
}

FakeLogind::FakeLogind(const QDBusConnection &bus) : m_bus(bus)
{
    m_registered =
        m_bus.registerObject(QStringLiteral("/org/freedesktop/login1"), this, QDBusConnection::ExportAllSlots) &&
        m_bus.registerService(QStringLiteral("org.freedesktop.login1"));
}

FakeLogind::~FakeLogind()
{
    m_bus.unregisterService(QStringLiteral("org.freedesktop.login1"));
    m_bus.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
    for (int fd : std::as_const(m_locks))
        ::close(fd);
}

void FakeLogind::prepareForSleep(bool sleeping)
{
    QDBusMessage signal =
        QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                   QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
    signal << sleeping;
    m_bus.send(signal);
}

QDBusUnixFileDescriptor FakeLogind::Inhibit(const QString &, const QString &, const QString &, const QString &)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {};
    m_locks.append(fds[1]);
    QDBusUnixFileDescriptor handed(fds[0]);
    // The descriptor object holds its own copy: after the reply only the caller's copy keeps the lock.
    ::close(fds[0]);
    return handed;
}

int FakeLogind::locksHeld() const
{
    int held = 0;
    for (int fd : m_locks) {
        pollfd p{fd, POLLOUT, 0};
        // The write end of a pipe reports an error once no reader is left: the lock was let go.
        if (::poll(&p, 1, 0) >= 0 && !(p.revents & POLLERR))
            ++held;
    }
    return held;
}

FakeNetworkManager::FakeNetworkManager(const QDBusConnection &bus, uint connectivity, const QString &primary)
    : m_bus(bus), m_connectivity(connectivity), m_primary(primary)
{
    m_registered = m_bus.registerObject(QStringLiteral("/org/freedesktop/NetworkManager"), this,
                                        QDBusConnection::ExportAllProperties) &&
                   m_bus.registerService(QStringLiteral("org.freedesktop.NetworkManager"));
}

FakeNetworkManager::~FakeNetworkManager()
{
    m_bus.unregisterService(QStringLiteral("org.freedesktop.NetworkManager"));
    m_bus.unregisterObject(QStringLiteral("/org/freedesktop/NetworkManager"));
}

void FakeNetworkManager::setConnectivity(uint connectivity)
{
    m_connectivity = connectivity;
    announce({{QStringLiteral("Connectivity"), QVariant::fromValue(connectivity)}});
}

void FakeNetworkManager::setPrimaryConnection(const QString &path)
{
    m_primary = path;
    announce({{QStringLiteral("PrimaryConnection"), QVariant::fromValue(QDBusObjectPath(path))}});
}

void FakeNetworkManager::announce(const QVariantMap &changed)
{
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/NetworkManager"),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.freedesktop.NetworkManager") << changed << QStringList();
    m_bus.send(signal);
}
