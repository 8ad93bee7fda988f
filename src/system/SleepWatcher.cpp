#include "system/SleepWatcher.h"

#include "log/Log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
const QString path = QStringLiteral("/org/freedesktop/login1");
const QString manager = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

SleepWatcher::SleepWatcher(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(QLatin1String(service), path, manager, QStringLiteral("PrepareForSleep"), this,
                  SLOT(prepareForSleep(bool)));
}

void SleepWatcher::setDelaySleep(bool delay)
{
    m_delay = delay;
    if (delay)
        takeLock();
    else
        releaseLock();
}

void SleepWatcher::takeLock()
{
    if (!m_bus.isConnected() || m_lock.isValid() || m_asking)
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(service), path, manager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Flumewire") << QStringLiteral("Stopping SSH tunnels")
         << QStringLiteral("delay");
    m_asking = true;
    auto watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_asking = false;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        if (reply.isError()) {
            Log::app(Log::Level::Info, QStringLiteral("no sleep delay lock: %1").arg(reply.error().message()));
            return;
        }
        // Asked to let go while the answer was on its way: the descriptor closes with the reply.
        if (!m_delay)
            return;
        m_lock = reply.value();
        emit delayLockChanged(true);
    });
}

void SleepWatcher::releaseLock()
{
    if (!m_lock.isValid())
        return;
    // Closing our copy of the descriptor is what releases the lock.
    m_lock = QDBusUnixFileDescriptor();
    emit delayLockChanged(false);
}

void SleepWatcher::prepareForSleep(bool sleeping)
{
    if (sleeping) {
        Log::app(Log::Level::Default, QStringLiteral("system is going to sleep"));
        emit aboutToSleep();
        releaseLock();
    } else {
        Log::app(Log::Level::Default, QStringLiteral("system woke up"));
        emit wokeUp();
        if (m_delay)
            takeLock();
    }
}
