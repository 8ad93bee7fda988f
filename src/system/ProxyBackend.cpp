#include "system/ProxyBackend.h"

QString ProxyBackend::shellQuote(const QString &value)
{
    QString inner = value;
    inner.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}
