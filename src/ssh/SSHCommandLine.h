#pragma once

#include <QString>

struct Tunnel;

// Pieces of the ssh command line shared by the tunnel's argument list, its display form and the connection test.
namespace SSHCommandLine {

// The forward specification after -L, -R or -D, by plain concatenation.
QString forwardSpec(const Tunnel &tunnel);
// True when keepAlive reads as a base-10 64-bit integer of at least 1 (optional sign, digits only).
bool keepAliveApplies(const QString &keepAlive);
// A leading "~" (alone, "~/…" or "~user/…") expanded to that home folder; other text unchanged.
QString expandTilde(const QString &path);
// `path` with a leading `home` folder written as "~" (the form the editor and the settings store). Only the folder
// itself at the start counts: "/home/me2/key" is not inside "/home/me", and "~2/key" would name another user's home.
QString withTilde(const QString &path, const QString &home);

} // namespace SSHCommandLine
