#include "app/InstanceLock.h"

#include <QDir>

InstanceLock::InstanceLock(const QString &folder)
    : m_path(QDir(folder).filePath(QStringLiteral("flumewire.lock"))), m_lock(std::make_unique<QLockFile>(m_path))
{
    m_lock->setStaleLockTime(0); // a lock is stale only when its process is gone, never because it is old
}

bool InstanceLock::tryLock()
{
    if (m_lock->tryLock(0))
        return true;
    qint64 pid = 0;
    QString host;
    QString app;
    if (m_lock->error() == QLockFile::LockFailedError && m_lock->getLockInfo(&pid, &host, &app)) {
        m_error = QStringLiteral("Flumewire is already running tunnels from this data folder (process %1 on %2 holds "
                                 "%3)")
                      .arg(pid)
                      .arg(host, m_path);
    } else {
        m_error = QStringLiteral("cannot take the lock %1").arg(m_path);
    }
    return false;
}
