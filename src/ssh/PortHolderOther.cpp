#include "ssh/PortHolder.h"

// No portable way to map a listening port to its process: say nothing rather than guess.
std::optional<QString> PortHolder::describe(quint16)
{
    return std::nullopt;
}
