#include "system/DesktopEvents.h"

#include "engine/AppState.h"
#include "log/Log.h"
#include "model/GeneralSettings.h"
#include "system/DesktopNotifier.h"
#include "system/NetworkWatcher.h"
#include "system/SleepWatcher.h"

DesktopEvents::DesktopEvents(AppState &state, GeneralSettings &settings, const QDBusConnection &session,
                             const QDBusConnection &system, const QString &appName, QObject *parent)
    : QObject(parent), m_state(state), m_settings(settings), m_notifier(new DesktopNotifier(session, appName, this)),
      m_sleep(new SleepWatcher(system, this)), m_network(new NetworkWatcher(system, this))
{
    for (const Tunnel &t : m_state.tunnels())
        m_lastStatus.insert(t.id, t.status);
    connect(&m_state, &AppState::tunnelChanged, this, &DesktopEvents::tunnelChanged);
    connect(&m_state, &AppState::tunnelsChanged, this, &DesktopEvents::tunnelsChanged);
    // Writing the tunnels file can fail (a full disk); the state reports it when it knows how.
    if (m_state.metaObject()->indexOfSignal("saveFailed(QString)") >= 0)
        connect(&m_state, SIGNAL(saveFailed(QString)), this, SLOT(saveFailed(QString)));
    connect(m_sleep, &SleepWatcher::aboutToSleep, this, &DesktopEvents::prepareForSleep);
    connect(m_sleep, &SleepWatcher::wokeUp, this, &DesktopEvents::wokeUp);
    connect(m_network, &NetworkWatcher::primaryConnectionChanged, this, [this] {
        if (m_settings.reconnectOnWake())
            restartAfterNetworkChange();
    });
    connect(m_network, &NetworkWatcher::connectivityRestored, this, [this] {
        if (m_settings.reconnectOnWake())
            retryFailed();
    });
    connect(&m_settings, &GeneralSettings::changed, this, &DesktopEvents::applySettings);
    applySettings();
}

DesktopEvents::~DesktopEvents() = default;

void DesktopEvents::applySettings()
{
    m_sleep->setDelaySleep(m_settings.disconnectOnSleep());
}

void DesktopEvents::tunnelChanged(const QString &id)
{
    const Tunnel *t = m_state.tunnel(id);
    if (!t)
        return;
    const TunnelStatus before = m_lastStatus.value(id, TunnelStatus::Idle);
    m_lastStatus.insert(id, t->status);
    if (before == t->status)
        return;
    if (t->status == TunnelStatus::Connected && m_settings.notifyOnConnect()) {
        m_notifier->notify(QStringLiteral("%1 connected").arg(t->name),
                           t->from() + QStringLiteral(" → ") +
                               (t->type == TunnelType::Socks ? QStringLiteral("SOCKS") : t->to()));
    } else if (before == TunnelStatus::Connected && t->status == TunnelStatus::Failed &&
               m_settings.notifyOnDisconnect()) {
        // Only a failure: a tunnel the user (or sleep) stopped goes idle.
        m_notifier->notify(QStringLiteral("%1 disconnected").arg(t->name),
                           t->reason.value_or(QStringLiteral("Failed")));
    }
}

void DesktopEvents::tunnelsChanged()
{
    QHash<QString, TunnelStatus> now;
    for (const Tunnel &t : m_state.tunnels())
        now.insert(t.id, m_lastStatus.value(t.id, t.status));
    m_lastStatus = now;
}

void DesktopEvents::saveFailed(const QString &reason)
{
    m_notifier->notify(QStringLiteral("Could not save tunnels: %1").arg(reason));
}

void DesktopEvents::prepareForSleep()
{
    if (!m_settings.disconnectOnSleep())
        return;
    QStringList ids;
    for (const Tunnel &t : m_state.tunnels())
        if (isOn(t.status) || m_state.wantsConnection(t.id))
            ids.append(t.id);
    for (const QString &id : std::as_const(ids))
        m_state.stop(id);
    // A second sleep before a wake keeps the first list too.
    for (const QString &id : std::as_const(ids))
        if (!m_stoppedForSleep.contains(id))
            m_stoppedForSleep.append(id);
    Log::app(Log::Level::Default, QStringLiteral("stopped %1 tunnels for sleep").arg(ids.size()));
}

void DesktopEvents::wokeUp()
{
    const QStringList ids = std::exchange(m_stoppedForSleep, {});
    if (!m_settings.reconnectOnWake())
        return;
    int started = 0;
    for (const QString &id : ids) {
        const Tunnel *t = m_state.tunnel(id);
        if (t && !isOn(t->status)) {
            m_state.start(id);
            ++started;
        }
    }
    Log::app(Log::Level::Default, QStringLiteral("restarted %1 tunnels after wake").arg(started));
    // Tunnels that kept running through the sleep have lost their sessions all the same.
    restartAfterNetworkChange();
}

void DesktopEvents::restartAfterNetworkChange()
{
    QStringList connected;
    for (const Tunnel &t : m_state.tunnels())
        if (t.status == TunnelStatus::Connected)
            connected.append(t.id);
    for (const QString &id : std::as_const(connected))
        m_state.start(id);
    if (!connected.isEmpty())
        Log::app(Log::Level::Default, QStringLiteral("network changed: restarting %1 tunnels").arg(connected.size()));
    retryFailed();
}

void DesktopEvents::retryFailed()
{
    QStringList failed;
    for (const Tunnel &t : m_state.tunnels())
        if (t.status == TunnelStatus::Failed && m_state.wantsConnection(t.id))
            failed.append(t.id);
    for (const QString &id : std::as_const(failed))
        m_state.start(id);
    if (!failed.isEmpty())
        Log::app(Log::Level::Default, QStringLiteral("network back: retrying %1 tunnels now").arg(failed.size()));
}
