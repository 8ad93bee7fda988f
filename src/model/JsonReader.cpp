#include "model/JsonReader.h"

#include <cmath>

QJsonValue JsonReader::value(const char *key) const
{
    return m_object.value(QLatin1String(key));
}

QString JsonReader::requiredString(const char *key)
{
    const QJsonValue v = value(key);
    if (!v.isString()) {
        m_ok = false;
        return {};
    }
    return v.toString();
}

qint64 JsonReader::requiredInteger(const char *key)
{
    const QJsonValue v = value(key);
    if (!v.isDouble()) {
        m_ok = false;
        return 0;
    }
    const double d = v.toDouble();
    // A JSON number is an integer only when it has no fraction and fits the 64-bit range.
    if (!std::isfinite(d) || std::trunc(d) != d || d < -9.2e18 || d > 9.2e18) {
        m_ok = false;
        return 0;
    }
    return static_cast<qint64>(d);
}

QString JsonReader::string(const char *key, const QString &fallback)
{
    const QJsonValue v = value(key);
    if (v.isUndefined() || v.isNull())
        return fallback;
    if (!v.isString()) {
        m_ok = false;
        return fallback;
    }
    return v.toString();
}

bool JsonReader::boolean(const char *key, bool fallback)
{
    const QJsonValue v = value(key);
    if (v.isUndefined() || v.isNull())
        return fallback;
    if (!v.isBool()) {
        m_ok = false;
        return fallback;
    }
    return v.toBool();
}

std::optional<QString> JsonReader::optionalString(const char *key)
{
    const QJsonValue v = value(key);
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    if (!v.isString()) {
        m_ok = false;
        return std::nullopt;
    }
    return v.toString();
}
