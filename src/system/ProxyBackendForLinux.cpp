#include "system/GnomeProxyBackend.h"
#include "system/NoProxyBackend.h"

#include <QStandardPaths>

// GNOME-based desktops keep the proxy in gsettings; elsewhere there is nothing we know how to switch.
std::unique_ptr<ProxyBackend> ProxyBackend::forThisSystem()
{
    auto gnome = std::make_unique<GnomeProxyBackend>(QStandardPaths::findExecutable(QStringLiteral("gsettings")));
    if (gnome->isAvailable())
        return gnome;
    return std::make_unique<NoProxyBackend>();
}
