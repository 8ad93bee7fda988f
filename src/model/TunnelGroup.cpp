#include "model/TunnelGroup.h"

#include "model/JsonReader.h"

QJsonObject TunnelGroup::toJson() const
{
    return QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("name"), name}, {QStringLiteral("order"), order}};
}

std::optional<TunnelGroup> TunnelGroup::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    JsonReader r(value.toObject());
    TunnelGroup group{r.requiredString("id"), r.requiredString("name"), r.requiredInteger("order")};
    if (!r.ok())
        return std::nullopt;
    return group;
}
