#pragma once

#include <QString>
#include <optional>

// Kind of forward; its texts are what the tunnels file holds.
enum class TunnelType { Local, Remote, Socks };

// "L", "R" or "SOCKS".
inline QString textOf(TunnelType type)
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

// The type for a text, or none for anything else ("local" included).
inline std::optional<TunnelType> tunnelTypeFromText(const QString &text)
{
    if (text == QLatin1String("L"))
        return TunnelType::Local;
    if (text == QLatin1String("R"))
        return TunnelType::Remote;
    if (text == QLatin1String("SOCKS"))
        return TunnelType::Socks;
    return std::nullopt;
}
