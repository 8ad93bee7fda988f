#pragma once

#include <QtGlobal>

// A TCP port on 127.0.0.1 that was free a moment ago (bound to port 0, read back, released).
quint16 freePort();
