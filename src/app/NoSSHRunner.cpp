#include "app/NoSSHRunner.h"

#include <QTimer>

void NoSSHRunner::start(const Tunnel &tunnel)
{
    const QString id = tunnel.id;
    QTimer::singleShot(0, this, [this, id] {
        if (onStatus)
            onStatus(id, TunnelStatus::Failed, QStringLiteral("ssh runner not available in this build"));
    });
}
