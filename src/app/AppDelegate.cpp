#include "app/AppDelegate.h"

#include "engine/AppState.h"
#include "ssh/SSHManager.h"
#include "ssh/SSHRunning.h"
#include "system/SystemProxying.h"

#include <QCoreApplication>

AppDelegate::AppDelegate(Parts parts, QObject *parent)
    : QObject(parent), m_runner(std::move(parts.runner)), m_proxy(std::move(parts.proxy)),
      m_clock(std::move(parts.clock))
{
    if (!m_proxy)
        m_proxy = std::make_unique<NoSystemProxy>();
    AppStateOptions options;
    if (parts.configure)
        parts.configure(options);
    options.ssh = m_runner.get();
    options.systemProxy = m_proxy.get();
    options.clock = m_clock.get();
    options.dev = parts.dev;
    m_state = std::make_unique<AppState>(std::move(options));
    Clock &clock = *m_clock;
    m_coordinator =
        std::make_unique<Coordinator>(*m_state, clock, parts.dev, parts.displayName, std::move(parts.views));
    m_coordinator->connectionTest = [program = parts.sshProgram](const Tunnel &tunnel,
                                                                 std::function<void(bool, const QString &)> done) {
        SSHManager::test(
            tunnel, [done](bool ok, const QString &message) { done(ok, message); }, program);
    };
    if (QCoreApplication::instance())
        connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::shutDown);
}

AppDelegate::~AppDelegate()
{
    m_coordinator.reset();
    m_state.reset();
}

void AppDelegate::launch()
{
    m_coordinator->install();
}

void AppDelegate::shutDown()
{
    if (m_terminated)
        return;
    m_terminated = true;
    m_runner->stopAll();
    m_proxy->restoreOnQuit();
}
