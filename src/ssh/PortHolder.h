#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Who is listening on a local TCP port, read from the system's own tables (never by running a program), for saying
// why a local forward could not bind.
namespace PortHolder {

// "postgres (pid 812)", or "a process of user postgres" when the listener is found but its process is not
// visible to us; none when nothing can be found or the platform offers no way to look.
std::optional<QString> describe(quint16 port);

} // namespace PortHolder
