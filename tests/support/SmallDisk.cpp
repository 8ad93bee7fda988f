#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <unistd.h>

SmallDisk::SmallDisk()
{
    if (geteuid() != 0) {
        m_whyNot = QStringLiteral("not running as root");
        return;
    }
    QProcess mount;
    mount.setProcessChannelMode(QProcess::MergedChannels);
    mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=64k,mode=0755"), QStringLiteral("tmpfs"), path()});
    if (!mount.waitForFinished(30000) || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0) {
        m_whyNot = QStringLiteral("mount failed: ") + QString::fromLocal8Bit(mount.readAll()).trimmed();
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), path()});
}

void SmallDisk::fill(int sparePages)
{
    // tmpfs hands out whole pages: one byte in a file of its own holds one page until the file goes.
    QStringList spares;
    for (int i = 0; i < sparePages; ++i) {
        spares << QDir(path()).filePath(QStringLiteral(".spare-%1").arg(i));
        QFile spare(spares.last());
        if (spare.open(QIODevice::WriteOnly))
            spare.write("x", 1);
    }
    QFile filler(QDir(path()).filePath(QStringLiteral(".filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    const QByteArray block(512, 'x');
    while (filler.write(block) > 0) {
    }
    // The last partial block.
    while (filler.write("x", 1) > 0) {
    }
    for (const QString &spare : std::as_const(spares))
        QFile::remove(spare);
}

void SmallDisk::freeUp()
{
    QFile::remove(QDir(path()).filePath(QStringLiteral(".filler")));
}
