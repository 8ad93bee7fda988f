#pragma once

#include <QString>
#include <optional>

// Kind of forward; the raw values are what the tunnels file holds.
enum class TunnelType { Local, Remote, Socks };

// "L", "R" or "SOCKS".
inline QString rawValue(TunnelType type)
{
    switch (type) {
    case TunnelType::Local:
        return QStringLiteral("L");
    case TunnelType::Remote:
        return QStringLiteral("R");
    case TunnelType::Socks:
        return QStringLiteral("SOCKS");
    }
    return {};
}

// The type for a raw value, or none for anything else ("local" included).
inline std::optional<TunnelType> tunnelTypeFromRaw(const QString &raw)
{
    if (raw == QLatin1String("L"))
        return TunnelType::Local;
    if (raw == QLatin1String("R"))
        return TunnelType::Remote;
    if (raw == QLatin1String("SOCKS"))
        return TunnelType::Socks;
    return std::nullopt;
}
