#include "support/FakeSsh.h"

#include <QFile>

QString FakeSsh::write(const QString &body, const QString &name)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write("#!/bin/sh\n" + body.toUtf8() + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    return path;
}

QString FakeSsh::realClientWithConfig(const QString &sshConfigPath, const QString &name)
{
    return write(QStringLiteral("exec /usr/bin/ssh -F '%1' \"$@\"").arg(sshConfigPath), name);
}
