#include "system/DesktopNotifier.h"

#include "log/Log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, const QString &appName, QObject *parent)
    : QObject(parent), m_bus(bus), m_appName(appName)
{
}

bool DesktopNotifier::serviceAvailable() const
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return false;
    const QString name = QLatin1String(service);
    if (m_bus.interface()->isServiceRegistered(name))
        return true;
    const QDBusReply<QStringList> activatable = m_bus.interface()->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(name);
}

bool DesktopNotifier::notify(const QString &summary, const QString &body)
{
    if (!serviceAvailable())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(service), QStringLiteral("/org/freedesktop/Notifications"),
                                       QLatin1String(service), QStringLiteral("Notify"));
    call << m_appName << uint(0) << QStringLiteral("flumewire") << summary << body << QStringList() << QVariantMap()
         << int(-1);
    auto watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            Log::app(Log::Level::Error, QStringLiteral("notification not shown: %1").arg(reply.error().message()));
        w->deleteLater();
    });
    return true;
}
