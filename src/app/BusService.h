#pragma once

#include <QDBusContext>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QVariantMap>
#include <optional>

#include "model/TunnelStatus.h"

class AppState;

// The running instance's interface on the user's session D-Bus, so that `flumewire start|stop|toggle|status`, a
// keyboard shortcut or a status bar can reach the tunnels of the tray app or of `flumewire up`. It lists the tunnels,
// starts, stops and toggles a tunnel or a group by id, and signals every change of a tunnel's status or reason.
// Ids are only looked up in the engine: nothing received here reaches ssh or a shell. Calls from another user are
// refused. The method and signal names follow the D-Bus convention (capitalised).
class BusService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.brindlecot.flumewire.Tunnels")
public:
    static QString interfaceName() { return QStringLiteral("com.brindlecot.flumewire.Tunnels"); }
    static QString objectPath() { return QStringLiteral("/com/brindlecot/flumewire"); }
    // The error a call gets for an id that names neither a tunnel nor a group; its message names the id.
    static QString unknownIdError() { return QStringLiteral("com.brindlecot.flumewire.Error.UnknownId"); }
    // The bus name: the application identifier, with ".Dev" for the development build, which keeps files of its
    // own and may run beside the installed build.
    static QString serviceName(bool dev);
    // Makes the list type of List() known to Qt D-Bus (both ends call it before use).
    static void registerTypes();

    BusService(AppState &state, bool dev, QObject *parent = nullptr);
    ~BusService() override;

    // Exports the object and takes the bus name. Without a session bus, or when another process holds the name,
    // logs why and returns false: the instance then runs without the interface.
    bool publish();
    bool isPublished() const { return m_published; }

public slots:
    // Every tunnel in list order, as the maps of TunnelSnapshot::toMap() (signature aa{sv}).
    Q_SCRIPTABLE QList<QVariantMap> List();
    // A tunnel id, else a group id. Starting what is on already, or stopping what is idle, changes nothing.
    Q_SCRIPTABLE void Start(const QString &id);
    Q_SCRIPTABLE void Stop(const QString &id);
    // A tunnel: start when failed or idle, stop when on. A group: as its header's switch does.
    Q_SCRIPTABLE void Toggle(const QString &id);

signals:
    // A tunnel's status or reason changed; reason is empty when there is none.
    Q_SCRIPTABLE void StatusChanged(const QString &id, const QString &status, const QString &reason);
    // Tunnels or groups were added, removed, renamed or reordered: List() has changed.
    Q_SCRIPTABLE void TunnelsChanged();

private:
    enum class Action { Start, Stop, Toggle };
    void act(Action action, const QString &id);
    // False, after answering the call with an error, when the caller runs as another user.
    bool callerAllowed();
    void onTunnelChanged(const QString &id);
    void onListChanged();

    AppState &m_state;
    bool m_dev = false;
    bool m_published = false;
    // The status and reason last signalled per tunnel: uptime and latency changes are not status changes.
    QHash<QString, QPair<TunnelStatus, std::optional<QString>>> m_signalled;
};
