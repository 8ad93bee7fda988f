#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// A named, ordered bucket for tunnels; shown by ascending order.
struct TunnelGroup {
    QString id;
    QString name;
    qint64 order = 0;

    bool operator==(const TunnelGroup &) const = default;

    QJsonObject toJson() const;
    // All three keys are required with their JSON types; anything else is none.
    static std::optional<TunnelGroup> fromJson(const QJsonValue &value);
};
