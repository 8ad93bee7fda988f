#pragma once

#include "model/Tunnel.h"

#include <QList>
#include <QStringList>

// The three worked examples of the ssh command line (a local forward, a remote forward through a jump host, a SOCKS
// proxy), shared by the tests of the argument list and of the command-line program. Ids "db", "web" and "proxy".
namespace WorkedExamples {

Tunnel local();
Tunnel remote();
Tunnel socks();
inline QList<Tunnel> all()
{
    return {local(), remote(), socks()};
}

} // namespace WorkedExamples

// The ids of a list of tunnels, in order.
QStringList tunnelIds(const QList<Tunnel> &tunnels);
