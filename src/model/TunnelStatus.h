#pragma once

#include <QString>

// Run state of a tunnel; never written to disk.
enum class TunnelStatus { Connected, Connecting, Failed, Idle };

// True for connected and connecting: a failed tunnel counts as off.
inline bool isOn(TunnelStatus status)
{
    return status == TunnelStatus::Connected || status == TunnelStatus::Connecting;
}

// "connected", "connecting", "failed" or "idle".
inline QString rawValue(TunnelStatus status)
{
    switch (status) {
    case TunnelStatus::Connected:
        return QStringLiteral("connected");
    case TunnelStatus::Connecting:
        return QStringLiteral("connecting");
    case TunnelStatus::Failed:
        return QStringLiteral("failed");
    case TunnelStatus::Idle:
        return QStringLiteral("idle");
    }
    return {};
}
