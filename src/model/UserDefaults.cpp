#include "model/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>

UserDefaults::UserDefaults(QString path) : m_path(std::move(path))
{
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly)) {
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
        if (doc.isObject())
            m_values = doc.object();
    }
}

QString UserDefaults::defaultPath(bool dev)
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(base).filePath((dev ? QStringLiteral("Flumewire-Dev") : QStringLiteral("Flumewire")) +
                               QStringLiteral("/defaults.json"));
}

QJsonValue UserDefaults::value(const QString &key) const
{
    return m_values.value(key);
}

std::optional<QString> UserDefaults::string(const QString &key) const
{
    const QJsonValue v = m_values.value(key);
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

std::optional<bool> UserDefaults::boolean(const QString &key) const
{
    const QJsonValue v = m_values.value(key);
    if (!v.isBool())
        return std::nullopt;
    return v.toBool();
}

WriteResult UserDefaults::setValue(const QString &key, const QJsonValue &value)
{
    m_values.insert(key, value);
    return write();
}

WriteResult UserDefaults::remove(const QString &key)
{
    m_values.remove(key);
    return write();
}

WriteResult UserDefaults::write()
{
    return AtomicFile::write(m_path, QJsonDocument(m_values).toJson(QJsonDocument::Compact));
}
