#pragma once

#include "app/Coordinator.h"
#include "engine/AppState.h"

#include <QObject>
#include <memory>

class SSHRunning;
class SystemProxying;

// The application's lifetime: builds the runner, the state and the coordinator in that order, installs the tray
// item once the event loop runs, and on termination stops every ssh child before putting back the system proxy.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    struct Parts {
        std::unique_ptr<SSHRunning> runner;
        std::unique_ptr<SystemProxying> proxy;
        std::unique_ptr<Clock> clock;
        bool dev = true;
        QString displayName;
        CoordinatorViews views;
        // The ssh client the editor's connection test runs.
        QString sshProgram = QStringLiteral("/usr/bin/ssh");
        // Extra settings for the state (tests hand in tunnels and writers); the runner, proxy and clock above win.
        std::function<void(AppStateOptions &)> configure;
    };

    explicit AppDelegate(Parts parts, QObject *parent = nullptr);
    ~AppDelegate() override;

    Coordinator &coordinator() { return *m_coordinator; }
    AppState &state() { return *m_state; }

    // The desktop has finished launching: show the tray item.
    void launch();
    // The application is about to end.
    void shutDown();

private:
    std::unique_ptr<SSHRunning> m_runner;
    std::unique_ptr<SystemProxying> m_proxy;
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<Coordinator> m_coordinator;
    bool m_terminated = false;
};
