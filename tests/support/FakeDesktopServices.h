#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// Small stand-ins for the desktop's D-Bus services, each on its own connection to a private bus, answering the calls
// Flumewire makes and sending the signals the desktop would.

// One service name with one object; both are given up again when it goes.
class FakeService : public QObject {
    Q_OBJECT
public:
    ~FakeService() override;
    bool isRegistered() const { return m_registered; }

protected:
    FakeService(const QDBusConnection &bus, const QString &service, const QString &path);
    // Exports the object's slots and properties and takes the name; call at the end of the subclass's constructor.
    void publish();
    void emitSignal(const QString &interface, const QString &name, const QVariantList &arguments);

private:
    QDBusConnection m_bus;
    QString m_service;
    QString m_path;
    bool m_registered = false;
};

// org.freedesktop.Notifications: records every notification as "summary | body", and the app names.
class FakeNotifications : public FakeService {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit FakeNotifications(const QDBusConnection &bus);
    QStringList texts;
    QStringList apps;

public slots:
    uint Notify(const QString &app, uint replacesId, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout);
};

// logind's manager: sends PrepareForSleep and hands out delay locks whose release it can see.
class FakeLogind : public FakeService {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    explicit FakeLogind(const QDBusConnection &bus);
    ~FakeLogind() override;

    void prepareForSleep(bool sleeping);
    int locksTaken() const { return int(m_locks.size()); }
    // Delay locks whose holder still holds them.
    int locksHeld() const;

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why, const QString &mode);

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
    explicit FakeNetworkManager(
        const QDBusConnection &bus, uint connectivity = 4,
        const QString &primary = QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/1"));

    uint connectivity() const { return m_connectivity; }
    QDBusObjectPath primaryConnection() const { return QDBusObjectPath(m_primary); }
    void setConnectivity(uint connectivity);
    void setPrimaryConnection(const QString &path);

private:
    uint m_connectivity = 4;
    QString m_primary;
};
