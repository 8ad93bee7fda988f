#pragma once

#include "model/AtomicFile.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>

// A small type-preserving key/value store kept as one JSON object file, so a value keeps the JSON type it was
// written with (a text stored under a boolean key reads back as a text, not as true or false).
class UserDefaults {
public:
    static constexpr const char *defaultIdentityKey = "fw.defaultIdentity";
    static constexpr const char *defaultStrictHostKeyKey = "fw.defaultStrictHostKey";
    // The General switches (booleans) and the theme choice ("auto", "light" or "dark"). Whether Flumewire starts at
    // login is not stored: the autostart entry itself is the setting.
    static constexpr const char *notifyOnConnectKey = "fw.notifyOnConnect";
    static constexpr const char *notifyOnDisconnectKey = "fw.notifyOnDisconnect";
    static constexpr const char *disconnectOnSleepKey = "fw.disconnectOnSleep";
    static constexpr const char *reconnectOnWakeKey = "fw.reconnectOnWake";
    static constexpr const char *appearanceKey = "fw.appearance";

    explicit UserDefaults(QString path);

    // The build's defaults file: "defaults.json" in the user's config folder under "Flumewire" or "Flumewire-Dev".
    static QString defaultPath(bool dev);

    QJsonValue value(const QString &key) const;
    // The text under key, or none when absent or not a text.
    std::optional<QString> string(const QString &key) const;
    // The boolean under key, or none when absent or not a boolean.
    std::optional<bool> boolean(const QString &key) const;

    // Writes at once; on failure the result says why (the value is kept in memory anyway and written with the
    // next change).
    WriteResult setValue(const QString &key, const QJsonValue &value);
    WriteResult remove(const QString &key);

    QString path() const { return m_path; }

private:
    WriteResult write();

    QString m_path;
    QJsonObject m_values;
};
