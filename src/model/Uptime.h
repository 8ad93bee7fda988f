#pragma once

#include <QString>

// The uptime text of a connected tunnel: "—", "7s", "7m 07s", "2h 05m".
QString fmtUptime(qint64 seconds);
