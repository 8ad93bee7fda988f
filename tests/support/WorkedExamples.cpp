#include "support/WorkedExamples.h"

namespace WorkedExamples {

Tunnel local()
{
    Tunnel t;
    t.id = "db";
    t.name = "DB";
    t.host = "gateway";
    t.user = "deploy";
    t.bind = "127.0.0.1";
    t.targetPort = "5432";
    t.identity = "~/.ssh/id_ed25519";
    return t;
}

Tunnel remote()
{
    Tunnel t;
    t.id = "web";
    t.name = "Web";
    t.type = TunnelType::Remote;
    t.host = "gateway";
    t.sshPort = "2222";
    t.bind.clear();
    t.bindPort = "8080";
    t.targetPort = "3000";
    t.compression = true;
    t.strictHostKey = false;
    t.keepAlive = "0";
    t.proxyJump = "jumphost";
    t.extra = "-4  -A";
    return t;
}

Tunnel socks()
{
    Tunnel t;
    t.id = "proxy";
    t.name = "Proxy";
    t.type = TunnelType::Socks;
    t.host = "gateway";
    t.bind.clear();
    t.bindPort = "1080";
    t.keepAlive.clear();
    return t;
}

} // namespace WorkedExamples

QStringList tunnelIds(const QList<Tunnel> &tunnels)
{
    QStringList out;
    for (const Tunnel &t : tunnels)
        out << t.id;
    return out;
}
