#pragma once

#include "model/EnumText.h"

#include <QObject>

namespace Appearances {
Q_NAMESPACE

// Theme choice; held in memory for the run, starting as Auto.
enum class Appearance { Auto, Light, Dark };
Q_ENUM_NS(Appearance)

} // namespace Appearances

using Appearances::Appearance;

// "auto", "light" or "dark".
inline QString textOf(Appearance appearance)
{
    return enumText(appearance);
}
