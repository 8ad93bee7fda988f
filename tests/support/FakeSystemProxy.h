#pragma once

#include "system/SystemProxying.h"

#include <QStringList>

// Records what the engine asks of the system proxy switch, as "enable id host port" / "disable id".
class FakeSystemProxy : public SystemProxying {
public:
    void enable(const QString &id, const QString &host, const QString &port) override
    {
        calls.append(QStringLiteral("enable %1 %2 %3").arg(id, host, port));
    }
    void disable(const QString &id) override { calls.append(QStringLiteral("disable ") + id); }
    void restoreOnQuit() override { calls.append(QStringLiteral("restoreOnQuit")); }

    QStringList calls;
};
