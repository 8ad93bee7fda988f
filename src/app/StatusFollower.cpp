#include "app/StatusFollower.h"

#include "app/BusClient.h"
#include "app/BusService.h"
#include "app/WaybarStatus.h"
#include "model/ControlCharacters.h"

#include <QDBusConnectionInterface>
#include <QTime>

StatusFollower::StatusFollower(BusClient &client, Format format, QList<TunnelSnapshot> saved, QTextStream &out,
                               QTextStream &err, QObject *parent)
    : QObject(parent), m_client(client), m_format(format), m_saved(std::move(saved)), m_out(out), m_err(err),
      m_watcher(client.service(), client.connection(),
                QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration)
{
    for (TunnelSnapshot &t : m_saved) {
        t.status = TunnelStatus::Idle;
        t.reason.reset();
    }
}

bool StatusFollower::begin()
{
    QDBusConnection bus = m_client.connection();
    const QString service = m_client.service();
    // Qt D-Bus routes a signal by the name's current owner, so these stay connected across restarts of the instance.
    const bool subscribed =
        bus.connect(service, BusService::objectPath(), BusService::interfaceName(), QStringLiteral("StatusChanged"),
                    this, SLOT(onStatusChanged(QString, QString, QString))) &&
        bus.connect(service, BusService::objectPath(), BusService::interfaceName(), QStringLiteral("TunnelsChanged"),
                    this, SLOT(onTunnelsChanged()));
    if (!subscribed) {
        m_err << "flumewire: cannot follow the running Flumewire: " << bus.lastError().message() << Qt::endl;
        return false;
    }
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &StatusFollower::attach);
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &StatusFollower::detach);

    if (bus.interface()->isServiceRegistered(service)) {
        attach();
        return true;
    }
    m_err << "flumewire: Flumewire is not running; waiting for it to start" << Qt::endl;
    m_tunnels = m_saved;
    render();
    return true;
}

void StatusFollower::attach()
{
    QList<TunnelSnapshot> tunnels;
    const BusClient::Result result = m_client.list(tunnels);
    if (result.outcome != BusClient::Outcome::Done) {
        // The name came and went at once, or what holds it does not answer: wait for the next owner.
        m_err << "flumewire: no answer from the running Flumewire: " << ControlCharacters::escaped(result.message)
              << Qt::endl;
        return;
    }
    m_running = true;
    m_tunnels = tunnels;
    for (const TunnelSnapshot &t : std::as_const(tunnels))
        update(t);
    render();
}

void StatusFollower::detach()
{
    if (!m_running)
        return;
    m_running = false;
    m_err << "flumewire: Flumewire quit; waiting for it to start again" << Qt::endl;
    // Its ssh children end with it.
    QList<TunnelSnapshot> stopped = m_tunnels;
    for (TunnelSnapshot &t : stopped) {
        t.status = TunnelStatus::Idle;
        t.reason.reset();
        update(t);
    }
    m_tunnels = stopped;
    render();
}

void StatusFollower::onStatusChanged(const QString &id, const QString &status, const QString &reason)
{
    const std::optional<TunnelStatus> known = tunnelStatusFromText(status);
    if (!m_running || !known)
        return;
    for (TunnelSnapshot &t : m_tunnels) {
        if (t.id != id)
            continue;
        t.status = *known;
        t.reason = reason.isEmpty() ? std::nullopt : std::optional<QString>(reason);
        update(t);
        render();
        return;
    }
}

void StatusFollower::onTunnelsChanged()
{
    if (m_running)
        attach();
}

void StatusFollower::update(const TunnelSnapshot &tunnel)
{
    if (m_format != Format::Lines)
        return;
    const QPair<TunnelStatus, std::optional<QString>> now{tunnel.status, tunnel.reason};
    const QPair<TunnelStatus, std::optional<QString>> idle{TunnelStatus::Idle, std::nullopt};
    if (m_printed.value(tunnel.id, idle) == now)
        return;
    m_printed.insert(tunnel.id, now);
    m_out << QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) << ' ' << ControlCharacters::escaped(tunnel.id)
          << ' ' << textOf(tunnel.status);
    if (tunnel.reason)
        m_out << ": " << ControlCharacters::escaped(*tunnel.reason);
    m_out << Qt::endl;
}

void StatusFollower::render()
{
    if (m_format != Format::Waybar)
        return;
    const QByteArray line = WaybarStatus::line(m_tunnels, m_running);
    if (line == m_lastLine)
        return;
    m_lastLine = line;
    m_out << line << Qt::endl;
}
