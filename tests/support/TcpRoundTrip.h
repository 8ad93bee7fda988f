#pragma once

#include <QByteArray>

// Client-side helpers for end-to-end tests that push bytes through forwards on 127.0.0.1. Each waits while the event
// loop runs (at most 10 s a step), because the echo server behind a forward usually lives on the test's own thread.
namespace TcpRoundTrip {

// Sends bytes through a forward's listening port and reads them back from the echo server behind it.
QByteArray roundTrip(quint16 port, const QByteArray &payload);
// Opens a SOCKS5 connection to 127.0.0.1:target through the proxy, sends payload and reads it back.
QByteArray socksRoundTrip(quint16 proxyPort, quint16 target, const QByteArray &payload);
// True when something accepts connections on 127.0.0.1:port.
bool accepts(quint16 port);

} // namespace TcpRoundTrip
