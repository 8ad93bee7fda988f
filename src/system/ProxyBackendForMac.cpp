#include "system/MacProxyBackend.h"

std::unique_ptr<ProxyBackend> ProxyBackend::forThisSystem()
{
    return std::make_unique<MacProxyBackend>();
}
