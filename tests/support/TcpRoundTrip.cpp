#include "support/TcpRoundTrip.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QtTest>

namespace {

// Reads exactly n bytes, or what arrived before the peer closed or time ran out.
QByteArray readExactly(QTcpSocket &socket, qsizetype n)
{
    QByteArray data;
    (void)QTest::qWaitFor(
        [&] {
            data += socket.read(n - data.size());
            return data.size() >= n || socket.state() != QAbstractSocket::ConnectedState;
        },
        10000);
    return data;
}

// A connection to a port on 127.0.0.1 completes in the kernel, without the listener's event loop.
bool connectTo(QTcpSocket &socket, quint16 port)
{
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(10000);
}

} // namespace

namespace TcpRoundTrip {

QByteArray roundTrip(quint16 port, const QByteArray &payload)
{
    QTcpSocket socket;
    if (!connectTo(socket, port))
        return QByteArrayLiteral("no connection");
    socket.write(payload);
    return readExactly(socket, payload.size());
}

QByteArray socksRoundTrip(quint16 proxyPort, quint16 target, const QByteArray &payload)
{
    QTcpSocket socket;
    if (!connectTo(socket, proxyPort))
        return QByteArrayLiteral("no connection");
    socket.write(QByteArray::fromHex("050100")); // version 5, one method: no authentication
    if (readExactly(socket, 2) != QByteArray::fromHex("0500"))
        return QByteArrayLiteral("greeting refused");
    // CONNECT to IPv4 127.0.0.1, the port in network order.
    socket.write(QByteArray::fromHex("050100017f000001") + char(target >> 8) + char(target & 0xff));
    const QByteArray reply = readExactly(socket, 10);
    if (reply.size() != 10 || reply.at(1) != 0)
        return QByteArrayLiteral("connect refused: ") + reply.toHex();
    socket.write(payload);
    return readExactly(socket, payload.size());
}

bool accepts(quint16 port)
{
    QTcpSocket socket;
    return connectTo(socket, port);
}

} // namespace TcpRoundTrip
