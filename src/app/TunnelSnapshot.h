#pragma once

#include "model/Tunnel.h"
#include "model/TunnelGroup.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariantMap>
#include <optional>

// What the running instance tells others about one tunnel: who it is and how it runs. The same record crosses the
// session bus (as a string-keyed map) and is printed by `flumewire status` (as JSON).
struct TunnelSnapshot {
    QString id;
    QString name;
    TunnelType type = TunnelType::Local;
    // Empty when the tunnel is in no group.
    QString groupId;
    QString group;
    TunnelStatus status = TunnelStatus::Idle;
    std::optional<QString> reason;

    bool operator==(const TunnelSnapshot &) const = default;

    // The tunnel as it stands, with the name of its group looked up in groups.
    static TunnelSnapshot of(const Tunnel &tunnel, const QList<TunnelGroup> &groups);

    // Keys "id", "name", "type" (its text), "status", and "groupId", "group", "reason" when there are any.
    QVariantMap toMap() const;
    // None when a key is missing or a value is not a known type or status.
    static std::optional<TunnelSnapshot> fromMap(const QVariantMap &map);
    // The same keys as toMap().
    QJsonObject toJson() const;
};

// The status for a text ("connected", "connecting", "failed", "idle"), or none.
std::optional<TunnelStatus> tunnelStatusFromText(const QString &text);
