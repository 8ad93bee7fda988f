// What scutil and networksetup print: reading it never crashes, whatever the tools say.
#include "system/MacProxyBackend.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)MacProxyBackend::scutilValue(text, QStringLiteral("PrimaryService"));
    (void)MacProxyBackend::parseSocks(text);
    return 0;
}
