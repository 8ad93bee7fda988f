#include "ui/views/SystemProxyOptionText.h"

SystemProxyOptionText SystemProxyOptionText::forThisSystem()
{
    // The GNOME settings need no administrator; desktops without them are left alone (and the log says so).
    return {QStringLiteral("DESKTOP PROXY SETTINGS"),
            QStringLiteral("Points the desktop's SOCKS proxy (the GNOME network proxy settings) at this tunnel on "
                           "connect and restores the prior setting on disconnect. No admin password is needed; on a "
                           "desktop without these settings nothing is changed.")};
}
