#pragma once

#include "model/TunnelStatus.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QStringList>

class AppState;
class DesktopNotifier;
class GeneralSettings;
class NetworkWatcher;
class SleepWatcher;

// Carries out the General switches against the desktop: notifications when a tunnel connects or a connected one
// goes down (and when tunnels could not be saved), stopping tunnels before sleep and bringing them back after wake,
// and restarting tunnels at once when the network changes instead of waiting for ssh to notice a dead session.
class DesktopEvents : public QObject {
    Q_OBJECT
public:
    // `session` carries notifications, `system` logind and NetworkManager; either may be unconnected.
    DesktopEvents(AppState &state, GeneralSettings &settings, const QDBusConnection &session,
                  const QDBusConnection &system, const QString &appName, QObject *parent = nullptr);
    ~DesktopEvents() override;

    DesktopNotifier &notifier() { return *m_notifier; }
    SleepWatcher &sleepWatcher() { return *m_sleep; }
    NetworkWatcher &networkWatcher() { return *m_network; }
    // Tunnels stopped for sleep that come back on wake.
    QStringList stoppedForSleep() const { return m_stoppedForSleep; }

    // What the events do; public so the shell and tests can call them directly.
    void prepareForSleep();
    void wokeUp();
    // Connected tunnels run again at once; failed ones the user wants up are retried at once.
    void restartAfterNetworkChange();
    void retryFailed();

public slots:
    void saveFailed(const QString &reason);

private:
    void tunnelChanged(const QString &id);
    void tunnelsChanged();
    void applySettings();

    AppState &m_state;
    GeneralSettings &m_settings;
    DesktopNotifier *m_notifier = nullptr;
    SleepWatcher *m_sleep = nullptr;
    NetworkWatcher *m_network = nullptr;
    QHash<QString, TunnelStatus> m_lastStatus;
    QStringList m_stoppedForSleep;
};
