#pragma once

#include "model/Tunnel.h"

#include <QList>
#include <QString>
#include <optional>

// Proposes tunnels from the LocalForward, RemoteForward and DynamicForward lines of ssh client configuration text.
// Each tunnel connects through the host alias, so ssh still applies the rest of the user's configuration.
namespace SSHConfigImport {

// The tunnels of the text's concrete host blocks, in file order. Pure; follows no includes; keeps duplicate ids.
QList<Tunnel> parse(const QString &text);

// Reads a file as UTF-8 and parses it; none when it cannot be read or is not valid UTF-8. The path is used as
// given ("~" is the caller's to expand).
std::optional<QList<Tunnel>> parseFile(const QString &path);

} // namespace SSHConfigImport
