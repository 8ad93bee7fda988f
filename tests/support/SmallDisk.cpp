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
    mount.start(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k,mode=0755", "tmpfs", path()});
    m_mounted = mount.waitForFinished(30000) && mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
    if (!m_mounted)
        m_whyNot = QStringLiteral("mount failed: ") + QString::fromLocal8Bit(mount.readAll()).trimmed();
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), path()});
}

void SmallDisk::fill(int sparePages)
{
    // tmpfs hands out whole pages: one byte in a file of its own holds one page until the file goes.
    const QDir dir(path());
    for (int i = 0; i < sparePages; ++i) {
        QFile spare(dir.filePath(QStringLiteral(".spare-%1").arg(i)));
        if (spare.open(QIODevice::WriteOnly))
            spare.write("x", 1);
    }
    QFile filler(dir.filePath(QStringLiteral(".filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    const QByteArray block(512, 'x');
    while (filler.write(block) > 0) {
    }
    // The last partial block.
    while (filler.write("x", 1) > 0) {
    }
    for (int i = 0; i < sparePages; ++i)
        QFile::remove(dir.filePath(QStringLiteral(".spare-%1").arg(i)));
}
