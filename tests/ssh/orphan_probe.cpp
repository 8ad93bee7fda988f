// Starts one tunnel with the ssh program named in argv[1], then waits to be killed.
#include "ssh/SSHManager.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    SSHManager manager(QString::fromLocal8Bit(argv[1]));
    Tunnel tunnel;
    tunnel.id = QStringLiteral("orphan");
    tunnel.host = QStringLiteral("example.invalid");
    manager.start(tunnel);
    return app.exec();
}
