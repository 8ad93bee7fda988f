#include "ui/views/SystemProxyOptionText.h"

SystemProxyOptionText SystemProxyOptionText::forThisSystem()
{
    return {QStringLiteral("ASKS FOR ADMIN"),
            QStringLiteral("Points the macOS system SOCKS proxy at this tunnel on connect and restores the prior "
                           "setting on disconnect. macOS asks for your admin password to change network settings.")};
}
