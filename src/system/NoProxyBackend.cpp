#include "system/NoProxyBackend.h"

#include "log/Log.h"

std::optional<QJsonObject> NoProxyBackend::enable(const QString &, const QString &)
{
    Log::ssh(Log::Level::Default, QStringLiteral("system proxy: no system proxy to switch on this desktop"));
    return std::nullopt;
}
