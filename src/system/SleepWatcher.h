#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

// Tells when the machine is about to sleep and when it woke, from logind's PrepareForSleep signal on the system bus
// it is given. While asked to, it holds a logind "delay" inhibitor, so that the machine waits (briefly) for
// aboutToSleep's handlers before it sleeps; the lock is let go once they ran and taken again after wake.
class SleepWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr const char *service = "org.freedesktop.login1";

    explicit SleepWatcher(const QDBusConnection &bus, QObject *parent = nullptr);

    // Whether to hold the delay lock (taken asynchronously; see holdsDelayLock()).
    void setDelaySleep(bool delay);
    bool holdsDelayLock() const { return m_lock.isValid(); }

signals:
    void aboutToSleep();
    void wokeUp();
    // The delay lock was taken or let go (tests wait for it).
    void delayLockChanged(bool held);

private slots:
    void prepareForSleep(bool sleeping);

private:
    void takeLock();
    void releaseLock();

    QDBusConnection m_bus;
    bool m_delay = false;
    bool m_asking = false;
    QDBusUnixFileDescriptor m_lock;
};
