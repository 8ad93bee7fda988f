#include "app/RemoteCommands.h"

#include "app/BusClient.h"
#include "app/StatusFollower.h"
#include "app/WaybarStatus.h"
#include "model/ControlCharacters.h"
#include "model/Store.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QString RemoteCommands::notRunningMessage()
{
    return QStringLiteral("Flumewire is not running; start it or use `flumewire up`");
}

RemoteCommands::RemoteCommands(QTextStream &out, QTextStream &err, bool dev) : m_out(out), m_err(err), m_dev(dev) {}

int RemoteCommands::fail(const QString &message)
{
    m_err << "flumewire: " << message << Qt::endl;
    return 2;
}

QList<TunnelSnapshot> RemoteCommands::savedTunnels() const
{
    const Store::LoadResult loaded = Store::load(std::nullopt, std::nullopt, m_dev);
    QList<TunnelSnapshot> tunnels;
    for (const Tunnel &t : loaded.tunnels) {
        TunnelSnapshot s = TunnelSnapshot::of(t, loaded.groups);
        s.status = TunnelStatus::Idle;
        s.reason.reset();
        tunnels.append(s);
    }
    return tunnels;
}

int RemoteCommands::act(const QString &verb, const QStringList &args)
{
    if (args.isEmpty())
        return fail(QStringLiteral("%1 takes one or more tunnel or group ids").arg(verb));
    // "start" -> "Start": the interface's method for the verb.
    const QString method = verb.left(1).toUpper() + verb.mid(1);

    BusClient client(m_dev);
    int status = 0;
    for (const QString &id : std::as_const(args)) {
        const BusClient::Result result = client.act(method, id);
        switch (result.outcome) {
        case BusClient::Outcome::Done:
            break;
        case BusClient::Outcome::NotRunning:
            // Only the first call can find no instance (or one that quit half-way through the ids).
            m_err << "flumewire: " << notRunningMessage();
            if (!client.hasBus())
                m_err << " (" << ControlCharacters::escaped(client.busError()) << ')';
            m_err << Qt::endl;
            return notRunningStatus;
        case BusClient::Outcome::Refused:
        case BusClient::Outcome::NoAnswer:
            m_err << "flumewire: " << ControlCharacters::escaped(id) << ": "
                  << ControlCharacters::escaped(result.message) << Qt::endl;
            status = 1;
            break;
        }
    }
    return status;
}

int RemoteCommands::status(bool json, bool follow, bool waybar)
{
    BusClient client(m_dev);
    if (follow) {
        if (!client.hasBus()) {
            m_err << "flumewire: cannot follow without a session D-Bus: " << client.busError() << Qt::endl;
            return notRunningStatus;
        }
        StatusFollower follower(client, waybar ? StatusFollower::Format::Waybar : StatusFollower::Format::Lines,
                                savedTunnels(), m_out, m_err);
        if (!follower.begin())
            return 1;
        return QCoreApplication::exec();
    }

    QList<TunnelSnapshot> tunnels;
    const BusClient::Result result = client.list(tunnels);
    const bool running = result.outcome == BusClient::Outcome::Done;
    if (result.outcome == BusClient::Outcome::NotRunning) {
        tunnels = savedTunnels();
        if (!waybar)
            m_err << "flumewire: Flumewire is not running: the saved tunnels, all idle" << Qt::endl;
    } else if (!running) {
        m_err << "flumewire: no answer from the running Flumewire: " << ControlCharacters::escaped(result.message)
              << Qt::endl;
        return 1;
    }

    if (waybar) {
        m_out << WaybarStatus::line(tunnels, running) << Qt::endl;
    } else if (json) {
        QJsonArray list;
        for (const TunnelSnapshot &t : std::as_const(tunnels))
            list.append(t.toJson());
        const QJsonObject object{{QStringLiteral("running"), running}, {QStringLiteral("tunnels"), list}};
        m_out << QJsonDocument(object).toJson(QJsonDocument::Indented);
        m_out.flush();
    } else {
        for (const TunnelSnapshot &t : std::as_const(tunnels)) {
            m_out << ControlCharacters::escaped(t.id) << "  " << textOf(t.status);
            if (t.reason)
                m_out << ": " << ControlCharacters::escaped(*t.reason);
            m_out << Qt::endl;
        }
    }
    return 0;
}
