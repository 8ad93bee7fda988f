#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

// Follows NetworkManager on the system bus it is given (when NetworkManager runs): reports when full connectivity
// comes back and when the primary connection becomes a different one (another Wi-Fi, a VPN, the same network
// joined again), the moments when tunnels' TCP sessions are lost or can be made again.
class NetworkWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr const char *service = "org.freedesktop.NetworkManager";
    // NetworkManager's NMConnectivityState for "full".
    static constexpr uint connectivityFull = 4;

    explicit NetworkWatcher(const QDBusConnection &bus, QObject *parent = nullptr);

    // The last values seen; 0 and an empty path until NetworkManager has answered.
    uint connectivity() const { return m_connectivity; }
    QString primaryConnection() const { return m_primary; }
    // NetworkManager's state has been read once.
    bool isReady() const { return m_ready; }

signals:
    void connectivityRestored();
    void primaryConnectionChanged(const QString &path);
    void ready();

private slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &invalidated);

private:
    void apply(const QVariantMap &properties, bool initial);

    QDBusConnection m_bus;
    uint m_connectivity = 0;
    QString m_primary;
    // The last primary connection that was not "/": a change to another one means new routes.
    QString m_lastPrimary;
    bool m_ready = false;
};
