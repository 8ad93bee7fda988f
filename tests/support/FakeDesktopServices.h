#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// Small stand-ins for the desktop's D-Bus services, each on its own connection to a private bus, answering the calls
// Flumewire makes and sending the signals the desktop would.

// One service name with one object; both are given up again when it goes.
class FakeService : public QObject {
    Q_OBJECT
public:
    ~FakeService() override
    {
        m_bus.unregisterService(m_service);
        m_bus.unregisterObject(m_path);
    }
    bool isRegistered() const { return m_registered; }

protected:
    FakeService(const QDBusConnection &bus, const QString &service, const QString &path)
        : m_bus(bus), m_service(service), m_path(path)
    {
    }
    // Exports the object's slots and properties and takes the name; call at the end of the subclass's constructor.
    void publish()
    {
        m_registered = m_bus.registerObject(m_path, this,
                                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
                       m_bus.registerService(m_service);
    }
    void emitSignal(const QString &interface, const QString &name, const QVariantList &arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(m_path, interface, name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }

private:
    QDBusConnection m_bus;
    QString m_service;
    QString m_path;
    bool m_registered = false;
};

// org.freedesktop.Notifications: records every notification as "app: summary | body".
class FakeNotifications : public FakeService {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit FakeNotifications(const QDBusConnection &bus)
        : FakeService(bus, QStringLiteral("org.freedesktop.Notifications"),
                      QStringLiteral("/org/freedesktop/Notifications"))
    {
        publish();
    }
    QStringList texts;

public slots:
    uint Notify(const QString &app, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        texts.append(app + QStringLiteral(": ") + summary + QStringLiteral(" | ") + body);
        return uint(texts.size());
    }
};

// logind's manager: sends PrepareForSleep and hands out delay locks whose release it can see.
class FakeLogind : public FakeService {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    explicit FakeLogind(const QDBusConnection &bus)
        : FakeService(bus, QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"))
    {
        publish();
    }
    ~FakeLogind() override
    {
        for (int fd : std::as_const(m_locks))
            ::close(fd);
    }

    void prepareForSleep(bool sleeping)
    {
        emitSignal(QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), {sleeping});
    }
    // Delay locks still held: a pipe's write end reports an error once no reader is left.
    int locksHeld() const
    {
        return int(std::ranges::count_if(m_locks, [](int fd) {
            pollfd p{fd, POLLOUT, 0};
            return ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLERR);
        }));
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &, const QString &, const QString &, const QString &)
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

private:
    QList<int> m_locks; // write ends of the pipes whose read ends were handed out
};

// NetworkManager's root object: its Connectivity and PrimaryConnection properties, changed with PropertiesChanged.
class FakeNetworkManager : public FakeService {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(uint Connectivity READ connectivity)
    Q_PROPERTY(QDBusObjectPath PrimaryConnection READ primaryConnection)
public:
    // Starts with full connectivity on ActiveConnection/1.
    explicit FakeNetworkManager(const QDBusConnection &bus)
        : FakeService(bus, QStringLiteral("org.freedesktop.NetworkManager"),
                      QStringLiteral("/org/freedesktop/NetworkManager"))
    {
        publish();
    }

    uint connectivity() const { return m_connectivity; }
    QDBusObjectPath primaryConnection() const { return QDBusObjectPath(m_primary); }
    void setConnectivity(uint connectivity)
    {
        m_connectivity = connectivity;
        changed(QStringLiteral("Connectivity"), QVariant::fromValue(connectivity));
    }
    void setPrimaryConnection(const QString &path)
    {
        m_primary = path;
        changed(QStringLiteral("PrimaryConnection"), QVariant::fromValue(primaryConnection()));
    }

private:
    void changed(const QString &name, const QVariant &value)
    {
        emitSignal(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
                   {QStringLiteral("org.freedesktop.NetworkManager"), QVariantMap{{name, value}}, QStringList()});
    }
    uint m_connectivity = 4;
    QString m_primary = QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/1");
};
