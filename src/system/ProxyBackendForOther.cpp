#include "system/NoProxyBackend.h"

std::unique_ptr<ProxyBackend> ProxyBackend::forThisSystem()
{
    return std::make_unique<NoProxyBackend>();
}
