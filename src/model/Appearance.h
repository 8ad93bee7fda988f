#pragma once

#include <QString>

// Theme choice; held in memory for the run, starting as Auto.
enum class Appearance { Auto, Light, Dark };

inline QString rawValue(Appearance appearance)
{
    switch (appearance) {
    case Appearance::Auto:
        return QStringLiteral("auto");
    case Appearance::Light:
        return QStringLiteral("light");
    case Appearance::Dark:
        return QStringLiteral("dark");
    }
    return {};
}
