#include "app/BusService.h"

#include "app/TunnelSnapshot.h"
#include "engine/AppState.h"
#include "log/Log.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <unistd.h>

QString BusService::serviceName(bool dev)
{
    const QString identifier = QString::fromLatin1(Log::subsystem);
    return dev ? identifier + QStringLiteral(".Dev") : identifier;
}

void BusService::registerTypes()
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
}

namespace {
const QString connectionName = QStringLiteral("flumewire-service");
}

BusService::BusService(AppState &state, bool dev, QObject *parent) : QObject(parent), m_state(state), m_dev(dev)
{
    registerTypes();
    for (const Tunnel &t : m_state.tunnels())
        m_signalled.insert(t.id, {t.status, t.reason});
    connect(&m_state, &AppState::tunnelChanged, this, &BusService::onTunnelChanged);
    connect(&m_state, &AppState::tunnelsChanged, this, &BusService::onListChanged);
    connect(&m_state, &AppState::groupsChanged, this, &BusService::onListChanged);
}

BusService::~BusService()
{
    if (m_published) {
        QDBusConnection bus(connectionName);
        bus.unregisterService(serviceName(m_dev));
        bus.unregisterObject(objectPath());
    }
    // Closed while the application object lives: Qt's shared session connection is torn down only after main()
    // returns, when late messages meet a type registry that is already gone.
    QDBusConnection::disconnectFromBus(connectionName);
}

bool BusService::publish()
{
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
    const QString name = serviceName(m_dev);
    if (!bus.isConnected()) {
        Log::app(Log::Level::Default,
                 QStringLiteral("no session D-Bus (%1): flumewire start/stop/status cannot reach this instance")
                     .arg(bus.lastError().message()));
        return false;
    }
    if (!bus.registerObject(objectPath(), this,
                            QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals)) {
        Log::app(Log::Level::Error, QStringLiteral("could not export %1 on the session D-Bus").arg(objectPath()));
        return false;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        const QString why = reply.isValid() ? QStringLiteral("another process holds it") : reply.error().message();
        Log::app(Log::Level::Error,
                 QStringLiteral("could not take the D-Bus name %1 (%2): flumewire start/stop/status cannot reach this "
                                "instance")
                     .arg(name, why));
        bus.unregisterObject(objectPath());
        return false;
    }
    m_published = true;
    Log::app(Log::Level::Info, QStringLiteral("listening on the session D-Bus as %1").arg(name));
    return true;
}

bool BusService::callerAllowed()
{
    // The session bus admits only its own user; this holds even on a bus configured to admit others.
    if (!calledFromDBus())
        return true;
    const QDBusReply<uint> uid = connection().interface()->serviceUid(message().service());
    if (uid.isValid() && uid.value() == ::getuid())
        return true;
    sendErrorReply(QDBusError::AccessDenied, QStringLiteral("only the user running Flumewire may use it"));
    return false;
}

QList<QVariantMap> BusService::List()
{
    QList<QVariantMap> list;
    if (!callerAllowed())
        return list;
    const QList<TunnelGroup> &groups = m_state.groups();
    for (const Tunnel &t : m_state.tunnels())
        list.append(TunnelSnapshot::of(t, groups).toMap());
    return list;
}

void BusService::Start(const QString &id)
{
    act(Action::Start, id);
}

void BusService::Stop(const QString &id)
{
    act(Action::Stop, id);
}

void BusService::Toggle(const QString &id)
{
    act(Action::Toggle, id);
}

void BusService::act(Action action, const QString &id)
{
    if (!callerAllowed())
        return;
    if (const Tunnel *t = m_state.tunnel(id)) {
        const TunnelStatus status = t->status;
        switch (action) {
        case Action::Start:
            if (!isOn(status))
                m_state.start(id);
            break;
        case Action::Stop:
            if (status != TunnelStatus::Idle)
                m_state.stop(id);
            break;
        case Action::Toggle:
            m_state.toggle(id);
            break;
        }
        return;
    }
    bool isGroup = false;
    for (const TunnelGroup &g : m_state.groups())
        isGroup = isGroup || g.id == id;
    if (!isGroup) {
        if (calledFromDBus())
            sendErrorReply(unknownIdError(), QStringLiteral("no tunnel or group with id %1").arg(id));
        return;
    }
    if (action == Action::Toggle) {
        m_state.toggleGroup(id);
        return;
    }
    // The members are collected first: each start or stop emits signals whose receivers may edit the list.
    QStringList members;
    for (const Tunnel &t : m_state.tunnels()) {
        if (t.groupId == id)
            members << t.id;
    }
    for (const QString &member : std::as_const(members)) {
        const Tunnel *t = m_state.tunnel(member);
        if (!t)
            continue;
        if (action == Action::Start && !isOn(t->status))
            m_state.start(member);
        else if (action == Action::Stop && t->status != TunnelStatus::Idle)
            m_state.stop(member);
    }
}

void BusService::onTunnelChanged(const QString &id)
{
    const Tunnel *t = m_state.tunnel(id);
    if (!t)
        return;
    const QPair<TunnelStatus, std::optional<QString>> now{t->status, t->reason};
    const auto last = m_signalled.constFind(id);
    if (last != m_signalled.cend() && *last == now)
        return;
    m_signalled.insert(id, now);
    emit StatusChanged(id, textOf(now.first), now.second.value_or(QString()));
}

void BusService::onListChanged()
{
    QHash<QString, QPair<TunnelStatus, std::optional<QString>>> current;
    for (const Tunnel &t : m_state.tunnels())
        current.insert(t.id, m_signalled.value(t.id, {t.status, t.reason}));
    m_signalled = current;
    emit TunnelsChanged();
}
