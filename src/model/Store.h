#pragma once

#include "model/AtomicFile.h"
#include "model/Tunnel.h"
#include "model/TunnelGroup.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

// Where tunnels and groups live (two JSON files in the build's data folder) and how they are read and written.
namespace Store {

// The build's data folder ("Flumewire" or "Flumewire-Dev" under the user's data location). Reading never creates
// it; the first write does.
QString folder(bool dev);
// The tunnels file, "tunnels.json" in folder(dev).
QString tunnelsPath(bool dev);
// The groups file beside it.
QString groupsPath(bool dev);

QByteArray encodeTunnels(const QList<Tunnel> &tunnels);
// The whole file, or none when it is not a JSON array of valid tunnel records.
std::optional<QList<Tunnel>> decodeTunnels(const QByteArray &data);
QByteArray encodeGroups(const QList<TunnelGroup> &groups);
// The groups of a {"version": integer, "groups": [...]} object, or none.
std::optional<QList<TunnelGroup>> decodeGroups(const QByteArray &data);

// Atomic writes, readable by the user only. On failure the previous file stays as it was and the result says why.
// A file the last load could not use is first kept beside under a new name; when that copy cannot be made (the file
// cannot be read) nothing is written. A groups file that did not load is left alone while there are no groups to
// write, so the tunnels' group ids stay meaningful if it is repaired.
WriteResult save(const QList<Tunnel> &tunnels, bool dev);
WriteResult saveGroups(const QList<TunnelGroup> &groups, bool dev);

// How a file looked to a read.
enum class FileState {
    Missing,
    Loaded,
    // Read, but not a valid file of its kind.
    Damaged,
    // There, but could not be read (permissions, a folder in its place, an I/O error).
    Unreadable,
};

template <typename T> struct ReadResult {
    FileState state = FileState::Missing;
    // The decoded content when Loaded.
    T value{};
    // Why the file could not be used, naming it; empty when Missing or Loaded.
    QString problem;
};

ReadResult<QList<Tunnel>> readTunnelsFile(const QString &path);
ReadResult<QList<TunnelGroup>> readGroupsFile(const QString &path);
// Reads and decodes the build's tunnels file; none when missing or unusable.
std::optional<QList<Tunnel>> readTunnels(bool dev);

// The built-in set used when no tunnels file can be read.
QList<Tunnel> sampleTunnels();

struct LoadResult {
    QList<Tunnel> tunnels;
    QList<TunnelGroup> groups;
    QSet<QString> borrowedIds;
    bool seeded = false;
    // How the build's tunnels and groups files were found (Missing when the creator supplied the list).
    FileState tunnelsFile = FileState::Missing;
    FileState groupsFile = FileState::Missing;
    // Why the tunnels file could not be used; empty when it was missing or loaded.
    QString tunnelsProblem;
};

enum class Seed { WhenUnusable, Never };

// The load procedure: the given lists or the build's files (sample set when the tunnels file is missing or
// unusable, unless seed is Never: then a missing file is an empty list and an unusable one leaves the list empty
// for the caller to refuse), in a development build the installed build's tunnels borrowed, and orphaned group ids
// cleared (kept when the groups file could not be used, so that nothing is lost before it is repaired).
// A tunnels or groups file that exists but could not be used is marked to be kept beside before the next write.
LoadResult load(const std::optional<QList<Tunnel>> &tunnels, const std::optional<QList<TunnelGroup>> &groups, bool dev,
                Seed seed = Seed::WhenUnusable);

} // namespace Store
