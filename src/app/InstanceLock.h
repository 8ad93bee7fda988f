#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// One process at a time may run tunnels from a data folder: two would fight over ports and overwrite each other's
// files. The lock is a QLockFile in the build's data folder; a stale lock of a dead process is taken over.
class InstanceLock {
public:
    explicit InstanceLock(const QString &folder);

    // True when this process now holds the lock; otherwise error() names the holder.
    bool tryLock();
    QString error() const { return m_error; }
    QString path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    QString m_error;
};
