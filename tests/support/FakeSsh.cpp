#include "support/FakeSsh.h"

#include <QDir>
#include <QFile>

FakeSsh::FakeSsh() = default;

QString FakeSsh::write(const QString &body, const QString &name)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write("#!/bin/sh\n");
    file.write(body.toUtf8());
    file.write("\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    return path;
}

QString FakeSsh::nssWrapperLibrary()
{
    for (const QString &folder : {QStringLiteral("/usr/lib"), QStringLiteral("/usr/lib64")}) {
        const QString direct = folder + QStringLiteral("/libnss_wrapper.so");
        if (QFile::exists(direct))
            return direct;
        // Debian keeps it under the multiarch folder (/usr/lib/x86_64-linux-gnu).
        for (const QString &arch : QDir(folder).entryList({QStringLiteral("*-linux-gnu*")}, QDir::Dirs)) {
            const QString path = folder + QLatin1Char('/') + arch + QStringLiteral("/libnss_wrapper.so");
            if (QFile::exists(path))
                return path;
        }
    }
    return {};
}

QString FakeSsh::realClientWithHosts(const QString &hostsPath, const QString &name)
{
    const QString library = nssWrapperLibrary();
    if (library.isEmpty())
        return {};
    return write(
        QStringLiteral("LD_PRELOAD='%1' NSS_WRAPPER_HOSTS='%2' exec /usr/bin/ssh \"$@\"").arg(library, hostsPath),
        name);
}

QString FakeSsh::realClientWithConfig(const QString &sshConfigPath, const QString &name)
{
    return write(QStringLiteral("exec /usr/bin/ssh -F '%1' \"$@\"").arg(sshConfigPath), name);
}
