#pragma once

#include <QString>

// What the editor's "Auto-configure system SOCKS proxy" option says on this platform: its badge and its hint, each
// naming what really happens here (built per platform, see src/CMakeLists.txt).
struct SystemProxyOptionText {
    QString badge;
    QString hint;

    static SystemProxyOptionText forThisSystem();
};
