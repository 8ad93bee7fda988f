#include "support/Processes.h"

#include <QDir>
#include <QFile>

int processesWith(const QString &text)
{
    int count = 0;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile f(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
        if (f.open(QIODevice::ReadOnly) && QString::fromUtf8(f.readAll().replace('\0', ' ')).contains(text))
            ++count;
    }
    return count;
}
