#include "app/InstanceLock.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

constexpr qint64 unnamedLockGraceMs = 2000;

} // namespace

InstanceLock::InstanceLock(const QString &folder)
    : m_path(QDir(folder).filePath(QStringLiteral("flumewire.lock"))), m_lock(std::make_unique<QLockFile>(m_path))
{
    m_lock->setStaleLockTime(0); // a lock is stale only when its process is gone, never because it is old
}

bool InstanceLock::tryLock()
{
    // The first run in a fresh data folder: the lock is what creates it.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (m_lock->tryLock(0))
        return true;
    qint64 pid = 0;
    QString host;
    QString app;
    const bool held = m_lock->error() == QLockFile::LockFailedError;
    if (held && !m_lock->getLockInfo(&pid, &host, &app)) {
        // An empty or garbled lock file (a crash while it was being written, a full disk) names no process, so it
        // never counts as stale. Unless it is fresh (its writer may be filling it in right now), it is removed when
        // no process holds its file lock, and taken.
        const qint64 ageMs = QFileInfo(m_path).lastModified().msecsTo(QDateTime::currentDateTime());
        if (ageMs > unnamedLockGraceMs && m_lock->removeStaleLockFile() && m_lock->tryLock(0))
            return true;
        m_error =
            QStringLiteral("the lock file %1 names no process; if Flumewire is not running, remove it").arg(m_path);
        return false;
    }
    if (held && m_lock->getLockInfo(&pid, &host, &app)) {
        m_error = QStringLiteral("Flumewire is already running tunnels from this data folder (process %1 on %2 holds "
                                 "%3)")
                      .arg(pid)
                      .arg(host, m_path);
    } else {
        m_error = QStringLiteral("cannot take the lock %1").arg(m_path);
    }
    return false;
}
