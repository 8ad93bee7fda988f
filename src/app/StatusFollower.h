#pragma once

#include "app/TunnelSnapshot.h"

#include <QByteArray>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTextStream>

class BusClient;

// `flumewire status --follow`: prints the running instance's tunnels as they change, and keeps following when the
// instance quits and when one starts again, so a status bar can start before the tray app. Lines are
// "HH:mm:ss ID STATUS[: REASON]" for each change; the waybar format prints a whole WaybarStatus line whenever it
// differs from the last one.
class StatusFollower : public QObject {
    Q_OBJECT
public:
    enum class Format { Lines, Waybar };

    // saved: the saved tunnels, shown (all idle) while no instance runs.
    StatusFollower(BusClient &client, Format format, QList<TunnelSnapshot> saved, QTextStream &out, QTextStream &err,
                   QObject *parent = nullptr);

    // Subscribes to the instance's signals and prints the state it starts from; false (after saying why) when the
    // bus refuses the subscription.
    bool begin();

private slots:
    // Receivers of the instance's D-Bus signals, which Qt D-Bus connects by signature.
    void onStatusChanged(const QString &id, const QString &status, const QString &reason);
    void onTunnelsChanged();

private:
    void attach();
    void detach();
    // Lines: prints the tunnel's state when it differs from the one printed last. Waybar: renders.
    void update(const TunnelSnapshot &tunnel);
    void render();

    BusClient &m_client;
    Format m_format = Format::Lines;
    QList<TunnelSnapshot> m_saved;
    QTextStream &m_out;
    QTextStream &m_err;
    QDBusServiceWatcher m_watcher;
    bool m_running = false;
    // The instance's list as last known (waybar), and the state last printed per id (lines).
    QList<TunnelSnapshot> m_tunnels;
    QHash<QString, QPair<TunnelStatus, std::optional<QString>>> m_printed;
    QByteArray m_lastLine;
};
