#pragma once

#include <QTcpServer>

// A TCP server on 127.0.0.1 (a free port) that writes back every byte it receives: the target behind test forwards.
class EchoServer : public QObject {
    Q_OBJECT
public:
    explicit EchoServer(QObject *parent = nullptr);

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // Connections accepted so far.
    int connectionCount() const { return m_connections; }

private:
    QTcpServer m_server;
    int m_connections = 0;
};
