#pragma once

#include "model/EnumText.h"

#include <QObject>

namespace TunnelStatuses {
Q_NAMESPACE

// Run state of a tunnel; never written to disk.
enum class TunnelStatus { Connected, Connecting, Failed, Idle };
Q_ENUM_NS(TunnelStatus)

} // namespace TunnelStatuses

using TunnelStatuses::TunnelStatus;

// True for connected and connecting: a failed tunnel counts as off.
inline bool isOn(TunnelStatus status)
{
    return status == TunnelStatus::Connected || status == TunnelStatus::Connecting;
}

// "connected", "connecting", "failed" or "idle".
inline QString textOf(TunnelStatus status)
{
    return enumText(status);
}
