#include "support/FakeDesktopServices.h"

#include <QDBusMessage>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

FakeService::FakeService(const QDBusConnection &bus, const QString &service, const QString &path)
    : m_bus(bus), m_service(service), m_path(path)
{
}

FakeService::~FakeService()
{
    m_bus.unregisterService(m_service);
    m_bus.unregisterObject(m_path);
}

void FakeService::publish()
{
    m_registered =
        m_bus.registerObject(m_path, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
        m_bus.registerService(m_service);
}

void FakeService::emitSignal(const QString &interface, const QString &name, const QVariantList &arguments)
{
    QDBusMessage signal = QDBusMessage::createSignal(m_path, interface, name);
    signal.setArguments(arguments);
    m_bus.send(signal);
}

FakeNotifications::FakeNotifications(const QDBusConnection &bus)
    : FakeService(bus, QStringLiteral("org.freedesktop.Notifications"),
                  QStringLiteral("/org/freedesktop/Notifications"))
{
    publish();
}

uint FakeNotifications::Notify(const QString &app, uint, const QString &, const QString &summary, const QString &body,
                               const QStringList &, const QVariantMap &, int)
{
    apps.append(app);
    texts.append(summary + QStringLiteral(" | ") + body);
    return uint(texts.size());
}

FakeLogind::FakeLogind(const QDBusConnection &bus)
    : FakeService(bus, QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"))
{
    publish();
}

FakeLogind::~FakeLogind()
{
    for (int fd : std::as_const(m_locks))
        ::close(fd);
}

void FakeLogind::prepareForSleep(bool sleeping)
{
    emitSignal(QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), {sleeping});
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
    // The write end of a pipe reports an error once no reader is left: the lock was let go.
    return int(std::ranges::count_if(m_locks, [](int fd) {
        pollfd p{fd, POLLOUT, 0};
        return ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLERR);
    }));
}

FakeNetworkManager::FakeNetworkManager(const QDBusConnection &bus, uint connectivity, const QString &primary)
    : FakeService(bus, QStringLiteral("org.freedesktop.NetworkManager"),
                  QStringLiteral("/org/freedesktop/NetworkManager")),
      m_connectivity(connectivity), m_primary(primary)
{
    publish();
}

void FakeNetworkManager::setConnectivity(uint connectivity)
{
    m_connectivity = connectivity;
    emitSignal(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
               {QStringLiteral("org.freedesktop.NetworkManager"),
                QVariantMap{{QStringLiteral("Connectivity"), QVariant::fromValue(connectivity)}}, QStringList()});
}

void FakeNetworkManager::setPrimaryConnection(const QString &path)
{
    m_primary = path;
    emitSignal(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
               {QStringLiteral("org.freedesktop.NetworkManager"),
                QVariantMap{{QStringLiteral("PrimaryConnection"), QVariant::fromValue(QDBusObjectPath(path))}},
                QStringList()});
}
