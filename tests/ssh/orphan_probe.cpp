// Starts one tunnel with the ssh program named in argv[1], prints "started" once it runs, then waits to be killed.
#include "ssh/SSHManager.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    SSHManager manager(QString::fromLocal8Bit(argv[1]));
    manager.onStatus = [](const QString &, quint64, TunnelStatus status, const std::optional<QString> &) {
        if (status == TunnelStatus::Connecting) {
            std::puts("started");
            std::fflush(stdout);
        }
    };
    Tunnel tunnel;
    tunnel.id = QStringLiteral("orphan");
    tunnel.host = QStringLiteral("example.invalid");
    manager.start(tunnel);
    return app.exec();
}
