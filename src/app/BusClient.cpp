#include "app/BusClient.h"

#include "app/BusService.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>

namespace {
const QString connectionName = QStringLiteral("flumewire-client");
}

BusClient::BusClient(bool dev) : m_bus(QString()), m_service(BusService::serviceName(dev))
{
    // Types first: Qt D-Bus dispatches on a thread of its own, which may still be reading the bus's greeting while
    // the program ends. Registered before that thread exists, the type registry outlives it.
    BusService::registerTypes();
    m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
}

BusClient::~BusClient()
{
    m_bus = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(connectionName);
}

QString BusClient::busError() const
{
    const QString message = m_bus.lastError().message();
    return message.isEmpty() ? QStringLiteral("no session D-Bus") : message;
}

BusClient::Result BusClient::call(const QString &method, const QVariantList &arguments, QDBusMessage &reply)
{
    if (!hasBus())
        return {Outcome::NotRunning, busError()};
    QDBusMessage message =
        QDBusMessage::createMethodCall(m_service, BusService::objectPath(), BusService::interfaceName(), method);
    message.setArguments(arguments);
    // Nothing may be started on the bus's behalf: only a running instance answers.
    message.setAutoStartService(false);
    reply = m_bus.call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {};
    const QDBusError error(reply);
    // A name without an owner answers "NameHasNoOwner" when the bus refuses to start one for it.
    if (error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return {Outcome::NotRunning, error.message()};
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
        return {Outcome::NotRunning, error.message()};
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
    case QDBusError::Disconnected:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
        return {Outcome::NoAnswer, error.message()};
    default:
        return {Outcome::Refused, error.message()};
    }
}

BusClient::Result BusClient::act(const QString &method, const QString &id)
{
    QDBusMessage reply;
    return call(method, {id}, reply);
}

BusClient::Result BusClient::list(QList<TunnelSnapshot> &tunnels)
{
    tunnels.clear();
    QDBusMessage reply;
    Result result = call(QStringLiteral("List"), {}, reply);
    if (result.outcome != Outcome::Done)
        return result;
    const QVariantList values = reply.arguments();
    if (values.size() != 1 || !values.first().canConvert<QDBusArgument>())
        return {Outcome::NoAnswer, QStringLiteral("unexpected answer to List")};
    const QList<QVariantMap> maps = qdbus_cast<QList<QVariantMap>>(values.first());
    for (const QVariantMap &map : maps) {
        const std::optional<TunnelSnapshot> snapshot = TunnelSnapshot::fromMap(map);
        if (!snapshot)
            return {Outcome::NoAnswer, QStringLiteral("unexpected answer to List")};
        tunnels.append(*snapshot);
    }
    return result;
}
