#pragma once

#include <QDBusConnection>
#include <QObject>

// Posts desktop notifications through the freedesktop notification service (org.freedesktop.Notifications) on the
// session bus it is given. Calls are asynchronous; when no notification service runs, nothing is posted.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    static constexpr const char *service = "org.freedesktop.Notifications";

    DesktopNotifier(const QDBusConnection &bus, const QString &appName, QObject *parent = nullptr);

    // True when a notification service is running on the bus or can be started by it.
    bool serviceAvailable() const;
    // Posts one notification; false when it was not sent (no bus, no service).
    bool notify(const QString &summary, const QString &body = {});

private:
    QDBusConnection m_bus;
    QString m_appName;
};
