#include "ui/views/SystemProxyOptionText.h"

SystemProxyOptionText SystemProxyOptionText::forThisSystem()
{
    return {QStringLiteral("NOT ON THIS SYSTEM"),
            QStringLiteral("Would point the system SOCKS proxy at this tunnel on connect, but this system offers no "
                           "proxy setting Flumewire can change: the option is kept and changes nothing.")};
}
