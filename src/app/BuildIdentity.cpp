#include "app/BuildIdentity.h"

#include "BuildInfo.h"

QString BuildIdentity::appDisplayName() const
{
    const QString name = QString::fromLatin1(BuildInfo::name);
    return isDevBuild() ? name + QStringLiteral(" (Dev)") : name;
}

QString BuildIdentity::appVersionString() const
{
    if (isDevBuild())
        return QStringLiteral("dev build");
    return QStringLiteral("Version %1 (%2)")
        .arg(QString::fromLatin1(BuildInfo::version), QString::fromLatin1(BuildInfo::buildNumber));
}
