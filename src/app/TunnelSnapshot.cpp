#include "app/TunnelSnapshot.h"

#include <QJsonValue>

std::optional<TunnelStatus> tunnelStatusFromText(const QString &text)
{
    return enumFromText<TunnelStatus>(text);
}

TunnelSnapshot TunnelSnapshot::of(const Tunnel &tunnel, const QList<TunnelGroup> &groups)
{
    TunnelSnapshot s;
    s.id = tunnel.id;
    s.name = tunnel.name;
    s.type = tunnel.type;
    s.status = tunnel.status;
    s.reason = tunnel.reason;
    if (tunnel.groupId) {
        s.groupId = *tunnel.groupId;
        for (const TunnelGroup &g : groups) {
            if (g.id == s.groupId) {
                s.group = g.name;
                break;
            }
        }
    }
    return s;
}

QVariantMap TunnelSnapshot::toMap() const
{
    QVariantMap map{{QStringLiteral("id"), id},
                    {QStringLiteral("name"), name},
                    {QStringLiteral("type"), textOf(type)},
                    {QStringLiteral("status"), textOf(status)}};
    if (!groupId.isEmpty()) {
        map.insert(QStringLiteral("groupId"), groupId);
        map.insert(QStringLiteral("group"), group);
    }
    if (reason)
        map.insert(QStringLiteral("reason"), *reason);
    return map;
}

std::optional<TunnelSnapshot> TunnelSnapshot::fromMap(const QVariantMap &map)
{
    auto text = [&map](const char *key) -> std::optional<QString> {
        const QVariant v = map.value(QLatin1String(key));
        if (v.typeId() != QMetaType::QString)
            return std::nullopt;
        return v.toString();
    };
    const std::optional<QString> id = text("id");
    const std::optional<QString> name = text("name");
    const std::optional<TunnelType> type = tunnelTypeFromText(text("type").value_or(QString()));
    const std::optional<TunnelStatus> status = tunnelStatusFromText(text("status").value_or(QString()));
    if (!id || !name || !type || !status)
        return std::nullopt;
    TunnelSnapshot s;
    s.id = *id;
    s.name = *name;
    s.type = *type;
    s.status = *status;
    s.groupId = text("groupId").value_or(QString());
    s.group = text("group").value_or(QString());
    s.reason = text("reason");
    return s;
}

QJsonObject TunnelSnapshot::toJson() const
{
    return QJsonObject::fromVariantMap(toMap());
}
