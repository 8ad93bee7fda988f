// ssh configuration text: parsing never crashes, and every proposed tunnel is a concrete host's forward.
#include "system/SSHConfigImport.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const Tunnel &t : SSHConfigImport::parse(text)) {
        if (!t.id.startsWith(QLatin1String("ssh-")) || t.host.isEmpty() || t.host != t.name ||
            t.host.contains(QLatin1Char('*')) || t.host.contains(QLatin1Char('?')) || t.bind.isEmpty())
            std::abort();
    }
    return 0;
}
