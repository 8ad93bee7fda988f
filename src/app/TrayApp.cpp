#include "app/TrayApp.h"

#include "app/AppDelegate.h"
#include "app/BuildIdentity.h"
#include "app/BusService.h"
#include "app/InstanceLock.h"
#include "app/SignalWatcher.h"
#include "engine/AppState.h"
#include "engine/EventLoopClock.h"
#include "log/Log.h"
#include "model/Store.h"
#include "ssh/SSHManager.h"
#include "system/DesktopEvents.h"
#include "system/SystemProxy.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

namespace {

// Whether a desktop session can show the tray. Without one, creating the application would abort inside Qt with a
// core dump; the check runs first so the user gets one plain line instead. A platform that needs no display server
// named explicitly (QT_QPA_PLATFORM=offscreen, vnc, …) is the user's choice and is left to Qt.
bool hasGraphicalSession()
{
#if defined(Q_OS_MACOS) || defined(Q_OS_WIN)
    return true;
#else
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")) &&
        !platform.startsWith(QLatin1String("wayland")))
        return true;
    return !qEnvironmentVariable("DISPLAY").isEmpty() || !qEnvironmentVariable("WAYLAND_DISPLAY").isEmpty();
#endif
}

} // namespace

int runTrayApp(int argc, char **argv, const BuildIdentity &identity, const QString &sshProgram)
{
    if (!hasGraphicalSession()) {
        QTextStream(stderr) << "flumewire: the tray needs a graphical session (neither DISPLAY nor WAYLAND_DISPLAY "
                               "is set); `flumewire up` keeps tunnels up without one\n";
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("flumewire"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationDisplayName(identity.appDisplayName());

    InstanceLock lock(Store::folder(identity.isDevBuild()));
    if (!lock.tryLock()) {
        QTextStream(stderr) << lock.error() << '\n';
        return 1;
    }

    AppDelegate::Parts parts;
    parts.runner = std::make_unique<SSHManager>(sshProgram);
    parts.sshProgram = sshProgram;
    // A system proxy left switched by a run that ended without restoring it is put back first.
    auto proxy = std::make_unique<SystemProxy>(Store::folder(identity.isDevBuild()));
    proxy->recoverAfterCrash();
    parts.proxy = std::move(proxy);
    parts.clock = std::make_unique<EventLoopClock>();
    parts.dev = identity.isDevBuild();
    parts.displayName = identity.appDisplayName();
    parts.configure = [sshProgram](AppStateOptions &options) { options.sshProgram = sshProgram; };
    AppDelegate delegate(std::move(parts));
    QTimer::singleShot(0, &delegate, &AppDelegate::launch);
    // start/stop/status from a terminal, a shortcut or a status bar reach the tunnels over the session D-Bus.
    BusService bus(delegate.state(), identity.isDevBuild());
    bus.publish();
    // Notifications, sleep and wake, network changes: what the General switches ask for.
    DesktopEvents desktop(delegate.state(), delegate.coordinator().settings(), QDBusConnection::sessionBus(),
                          QDBusConnection::systemBus(), identity.appDisplayName());
    // Logging out or `kill` ends the app like Quit does: children stopped, a switched system proxy put back.
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &app, &QCoreApplication::quit);
    return app.exec();
}
