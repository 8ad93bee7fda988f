#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// Small stand-ins (each gives its name and object up again when it goes) for the desktop's D-Bus services, each on its
// own connection to a private bus, answering the calls Flumewire makes and sending the signals the desktop would.

// org.freedesktop.Notifications: records every notification.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit FakeNotifications(const QDBusConnection &bus);
    ~FakeNotifications() override;
    bool isRegistered() const { return m_registered; }

    struct Note {
        QString app;
        QString summary;
        QString body;
    };
    QList<Note> notes;
    // The notes as "summary | body".
    QStringList texts() const;

public slots:
    uint Notify(const QString &app, uint replacesId, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout);

private:
    QDBusConnection m_bus;
    bool m_registered = false;
};

// logind's manager: sends PrepareForSleep and hands out delay locks whose release it can see.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    explicit FakeLogind(const QDBusConnection &bus);
    ~FakeLogind() override;
    bool isRegistered() const { return m_registered; }

    void prepareForSleep(bool sleeping);
    int locksTaken() const { return int(m_locks.size()); }
    // Delay locks whose holder still holds them.
    int locksHeld() const;

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why, const QString &mode);

private:
    QDBusConnection m_bus;
    bool m_registered = false;
    QList<int> m_locks; // write ends of the pipes whose read ends were handed out
};

// NetworkManager's root object: its Connectivity and PrimaryConnection properties, changed with PropertiesChanged.
class FakeNetworkManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(uint Connectivity READ connectivity)
    Q_PROPERTY(QDBusObjectPath PrimaryConnection READ primaryConnection)
public:
    explicit FakeNetworkManager(
        const QDBusConnection &bus, uint connectivity = 4,
        const QString &primary = QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/1"));
    ~FakeNetworkManager() override;
    bool isRegistered() const { return m_registered; }

    uint connectivity() const { return m_connectivity; }
    QDBusObjectPath primaryConnection() const { return QDBusObjectPath(m_primary); }
    void setConnectivity(uint connectivity);
    void setPrimaryConnection(const QString &path);

private:
    void announce(const QVariantMap &changed);

    QDBusConnection m_bus;
    bool m_registered = false;
    uint m_connectivity = 4;
    QString m_primary;
};
