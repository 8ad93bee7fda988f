#include "system/NetworkWatcher.h"

#include "log/Log.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
const QString path = QStringLiteral("/org/freedesktop/NetworkManager");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

QString objectPath(const QVariant &value)
{
    if (value.canConvert<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}
} // namespace

NetworkWatcher::NetworkWatcher(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(QLatin1String(service), path, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(service), path, propertiesInterface, QStringLiteral("GetAll"));
    call << QLatin1String(service);
    auto watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *w;
        if (reply.isError()) {
            Log::app(Log::Level::Info, QStringLiteral("NetworkManager not available: %1").arg(reply.error().message()));
            return;
        }
        apply(reply.value(), true);
        m_ready = true;
        emit ready();
    });
}

void NetworkWatcher::propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
{
    if (interface == QLatin1String(service))
        apply(changed, false);
}

void NetworkWatcher::apply(const QVariantMap &properties, bool initial)
{
    const uint before = m_connectivity;
    if (properties.contains(QStringLiteral("PrimaryConnection"))) {
        m_primary = objectPath(properties.value(QStringLiteral("PrimaryConnection")));
        if (m_primary != QLatin1String("/") && !m_primary.isEmpty()) {
            const bool other = !m_lastPrimary.isEmpty() && m_primary != m_lastPrimary;
            m_lastPrimary = m_primary;
            if (other && !initial) {
                Log::app(Log::Level::Default,
                         QStringLiteral("primary network connection changed to %1").arg(m_primary));
                emit primaryConnectionChanged(m_primary);
            }
        }
    }
    if (properties.contains(QStringLiteral("Connectivity"))) {
        m_connectivity = properties.value(QStringLiteral("Connectivity")).toUInt();
        if (!initial && before != connectivityFull && m_connectivity == connectivityFull) {
            Log::app(Log::Level::Default, QStringLiteral("network connectivity restored"));
            emit connectivityRestored();
        }
    }
}
