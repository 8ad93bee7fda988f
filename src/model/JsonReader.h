#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// Reads typed keys from one JSON object with the tunnels and groups files' rules: a required key must be
// present, not null and of its JSON type; an optional key that is missing or null takes its default; any
// present value of the wrong JSON type is an error. After the reads, ok() tells whether the object was valid.
class JsonReader {
public:
    explicit JsonReader(const QJsonObject &object) : m_object(object) {}

    QString requiredString(const char *key);
    qint64 requiredInteger(const char *key);
    QString string(const char *key, const QString &fallback);
    bool boolean(const char *key, bool fallback);
    std::optional<QString> optionalString(const char *key);

    bool ok() const { return m_ok; }

private:
    QJsonValue value(const char *key) const;

    QJsonObject m_object;
    bool m_ok = true;
};
