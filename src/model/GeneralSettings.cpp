#include "model/GeneralSettings.h"

#include "log/Log.h"

GeneralSettings::GeneralSettings(const QString &defaultsPath, QObject *parent)
    : QObject(parent), m_defaults(defaultsPath)
{
}

bool GeneralSettings::flag(const char *key, bool fallback) const
{
    return m_defaults.boolean(QLatin1String(key)).value_or(fallback);
}

bool GeneralSettings::notifyOnConnect() const
{
    return flag(UserDefaults::notifyOnConnectKey, true);
}

bool GeneralSettings::notifyOnDisconnect() const
{
    return flag(UserDefaults::notifyOnDisconnectKey, false);
}

bool GeneralSettings::disconnectOnSleep() const
{
    return flag(UserDefaults::disconnectOnSleepKey, true);
}

bool GeneralSettings::reconnectOnWake() const
{
    return flag(UserDefaults::reconnectOnWakeKey, true);
}

Appearance GeneralSettings::appearance() const
{
    return appearanceFrom(m_defaults.string(QLatin1String(UserDefaults::appearanceKey)).value_or(QString()));
}

Appearance GeneralSettings::appearanceFrom(const QString &text)
{
    return enumFromText<Appearance>(text).value_or(Appearance::Auto);
}

bool GeneralSettings::store(const char *key, const QJsonValue &value)
{
    if (m_defaults.value(QLatin1String(key)) == value)
        return true;
    const WriteResult written = m_defaults.setValue(QLatin1String(key), value);
    if (!written)
        Log::app(Log::Level::Error, QStringLiteral("could not store %1: %2").arg(QLatin1String(key), written.error));
    emit changed();
    return written.ok();
}

bool GeneralSettings::setNotifyOnConnect(bool on)
{
    return store(UserDefaults::notifyOnConnectKey, on);
}

bool GeneralSettings::setNotifyOnDisconnect(bool on)
{
    return store(UserDefaults::notifyOnDisconnectKey, on);
}

bool GeneralSettings::setDisconnectOnSleep(bool on)
{
    return store(UserDefaults::disconnectOnSleepKey, on);
}

bool GeneralSettings::setReconnectOnWake(bool on)
{
    return store(UserDefaults::reconnectOnWakeKey, on);
}

bool GeneralSettings::setAppearance(Appearance appearance)
{
    return store(UserDefaults::appearanceKey, textOf(appearance));
}
