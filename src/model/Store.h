#pragma once

#include "model/Tunnel.h"
#include "model/TunnelGroup.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

// Where tunnels and groups live (two JSON files in the build's data folder) and how they are read and written.
namespace Store {

// The build's data folder ("Flumewire" or "Flumewire-Dev" under the user's data location), created on demand.
QString folder(bool dev);
// The tunnels file, "tunnels.json" in folder(dev).
QString url(bool dev);
// The groups file beside it.
QString groupsUrl(bool dev);

QByteArray encodeTunnels(const QList<Tunnel> &tunnels);
// The whole file, or none when it is not a JSON array of valid tunnel records.
std::optional<QList<Tunnel>> decodeTunnels(const QByteArray &data);
QByteArray encodeGroups(const QList<TunnelGroup> &groups);
// The groups of a {"version": integer, "groups": [...]} object, or none.
std::optional<QList<TunnelGroup>> decodeGroups(const QByteArray &data);

// Atomic writes, readable by the user only. False when the write failed; the previous file then stays as it was.
bool save(const QList<Tunnel> &tunnels, bool dev);
bool saveGroups(const QList<TunnelGroup> &groups, bool dev);

// Reads and decodes the build's tunnels file; none when missing or undecodable.
std::optional<QList<Tunnel>> readTunnels(bool dev);

// The built-in set used when no tunnels file can be read.
QList<Tunnel> sampleTunnels();

struct LoadResult {
    QList<Tunnel> tunnels;
    QList<TunnelGroup> groups;
    QSet<QString> borrowedIds;
    bool seeded = false;
};

// The load procedure: the given lists or the build's files (sample set when the tunnels file can't be read),
// in a development build the installed build's tunnels borrowed, and orphaned group ids cleared.
LoadResult load(const std::optional<QList<Tunnel>> &tunnels, const std::optional<QList<TunnelGroup>> &groups, bool dev);

} // namespace Store
