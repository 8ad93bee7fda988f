#pragma once

#include "app/TunnelSnapshot.h"

#include <QByteArray>
#include <QList>

// The line a waybar custom module (return-type "json") reads: one JSON object with "text" (a glyph and the number of
// connected tunnels), "tooltip" (one line per tunnel), and "class" and "alt" (connected, connecting, failed or idle,
// by the worst state: failed over connecting over connected over idle). Names and reasons are escaped for the Pango
// markup waybar renders both texts with.
namespace WaybarStatus {

// running is false when no instance runs and the tunnels are the saved ones.
QByteArray line(const QList<TunnelSnapshot> &tunnels, bool running);

} // namespace WaybarStatus
