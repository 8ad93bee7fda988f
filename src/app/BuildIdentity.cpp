#include "app/BuildIdentity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>

BuildIdentity::BuildIdentity(std::optional<QJsonObject> info) : m_info(std::move(info))
{
    const QJsonValue identifier = m_info ? m_info->value(QStringLiteral("CFBundleIdentifier")) : QJsonValue();
    if (!identifier.isString() || identifier.toString().isEmpty()) {
        m_dev = true;
        return;
    }
    const QJsonValue flag = m_info->value(QStringLiteral("FWDevBuild"));
    m_dev = flag.isBool() && flag.toBool();
}

QString BuildIdentity::infoPath()
{
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral("../share/flumewire/Info.json"));
}

const BuildIdentity &BuildIdentity::current()
{
    static const BuildIdentity identity = [] {
        QFile file(infoPath());
        if (!file.open(QIODevice::ReadOnly))
            return BuildIdentity(std::nullopt);
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
        if (!doc.isObject())
            return BuildIdentity(std::nullopt);
        return BuildIdentity(doc.object());
    }();
    return identity;
}

QString BuildIdentity::appDisplayName() const
{
    return m_dev ? QStringLiteral("Flumewire (Dev)") : QStringLiteral("Flumewire");
}

QString BuildIdentity::appVersionString() const
{
    auto text = [this](const char *key) -> std::optional<QString> {
        if (!m_info)
            return std::nullopt;
        const QJsonValue v = m_info->value(QLatin1String(key));
        if (!v.isString())
            return std::nullopt;
        return v.toString();
    };
    const std::optional<QString> shortVersion = text("CFBundleShortVersionString");
    const std::optional<QString> build = text("CFBundleVersion");
    if (!shortVersion)
        return QStringLiteral("dev build");
    if (build)
        return QStringLiteral("Version %1 (%2)").arg(*shortVersion, *build);
    return QStringLiteral("Version ") + *shortVersion;
}

std::optional<QString> BuildIdentity::feedURL() const
{
    if (!m_info || !m_info->value(QStringLiteral("SUFeedURL")).isString())
        return std::nullopt;
    return m_info->value(QStringLiteral("SUFeedURL")).toString();
}
