// The tunnels and groups files: decoding never crashes, and whatever decodes survives an encode unchanged.
#include "model/Store.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const std::optional<QList<Tunnel>> tunnels = Store::decodeTunnels(bytes)) {
        const std::optional<QList<Tunnel>> again = Store::decodeTunnels(Store::encodeTunnels(*tunnels));
        if (!again || *again != *tunnels)
            std::abort();
    }
    if (const std::optional<QList<TunnelGroup>> groups = Store::decodeGroups(bytes)) {
        const std::optional<QList<TunnelGroup>> again = Store::decodeGroups(Store::encodeGroups(*groups));
        if (!again || *again != *groups)
            std::abort();
    }
    return 0;
}
