#include "app/WindowShape.h"

namespace WindowShape {

// The platforms built without X11 support composite their windows.
bool screenHasAlpha()
{
    return true;
}

} // namespace WindowShape
