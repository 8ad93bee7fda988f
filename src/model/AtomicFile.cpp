#include "model/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace AtomicFile {
namespace {

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

WriteResult failure(const QString &path, const QString &reason)
{
    return {QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason)};
}

// A rename is durable only once the folder holding the new entry is synced.
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

WriteResult write(const QString &path, const QByteArray &data)
{
    const QFileInfo info(path);
    // QSaveFile would happily write through a link to somewhere else, or fail late on a folder in the file's place.
    if (info.isDir())
        return failure(path, QStringLiteral("a folder is in the way"));
    if (info.isSymLink() && !info.exists())
        return failure(path, QStringLiteral("a link to a missing file is in the way"));
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        return failure(path, QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(folder)));

    QSaveFile file(path);
    // Unbuffered: every write reaches the file system at once, so "no space left" is seen here and the empty
    // temporary file is never committed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(path, file.errorString());
    if (!file.setPermissions(ownerOnly)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(path, reason);
    }
    qint64 done = 0;
    while (done < data.size()) {
        const qint64 n = file.write(data.constData() + done, data.size() - done);
        if (n <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return failure(path, reason.isEmpty() ? QString::fromLocal8Bit(std::strerror(errno)) : reason);
        }
        done += n;
    }
    // commit() syncs too but ignores a failure of the sync; a late write error (a network file system) shows here.
    if (::fsync(file.handle()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return failure(path, reason);
    }
    if (!file.commit())
        return failure(path, file.errorString());
    syncFolder(folder);
    return {};
}

} // namespace AtomicFile
