#include "model/Tunnel.h"

#include "model/ControlCharacters.h"
#include "model/JsonReader.h"

QString trimSpacesAndTabs(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString Tunnel::fwdBindPort() const
{
    if (!bindPort.isEmpty() || type == TunnelType::Socks)
        return bindPort;
    return targetPort;
}

QString Tunnel::from() const
{
    return (bind.isEmpty() ? QStringLiteral("localhost") : bind) + QLatin1Char(':') + fwdBindPort();
}

QString Tunnel::to() const
{
    if (type == TunnelType::Socks)
        return QStringLiteral("dynamic");
    return (targetHost.isEmpty() ? QStringLiteral("localhost") : targetHost) + QLatin1Char(':') + targetPort;
}

std::optional<QUrl> Tunnel::browserURL() const
{
    const QString port = fwdBindPort();
    if (type != TunnelType::Local || port.isEmpty())
        return std::nullopt;
    const QString address = (bind.isEmpty() || bind == QLatin1String("0.0.0.0")) ? QStringLiteral("127.0.0.1") : bind;
    const QUrl url(QStringLiteral("http://") + address + QLatin1Char(':') + port, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

bool Tunnel::hasBackup() const
{
    return !trimSpacesAndTabs(backupHost).isEmpty();
}

Tunnel Tunnel::viaBackup() const
{
    if (!hasBackup())
        return *this;
    Tunnel copy = *this;
    copy.host = backupHost;
    if (!backupSshPort.isEmpty())
        copy.sshPort = backupSshPort;
    return copy;
}

QString Tunnel::destination() const
{
    return user.isEmpty() ? host : user + QLatin1Char('@') + host;
}

QJsonObject Tunnel::toJson() const
{
    QJsonObject o{
        {QStringLiteral("id"), id},
        {QStringLiteral("name"), name},
        {QStringLiteral("type"), textOf(type)},
        {QStringLiteral("host"), host},
        {QStringLiteral("user"), user},
        {QStringLiteral("sshPort"), sshPort},
        {QStringLiteral("bind"), bind},
        {QStringLiteral("bindPort"), bindPort},
        {QStringLiteral("targetHost"), targetHost},
        {QStringLiteral("targetPort"), targetPort},
        {QStringLiteral("identity"), identity},
        {QStringLiteral("compression"), compression},
        {QStringLiteral("strictHostKey"), strictHostKey},
        {QStringLiteral("keepAlive"), keepAlive},
        {QStringLiteral("proxyJump"), proxyJump},
        {QStringLiteral("extra"), extra},
        {QStringLiteral("autostart"), autostart},
        {QStringLiteral("autoreconnect"), autoreconnect},
        {QStringLiteral("showInMenu"), showInMenu},
        {QStringLiteral("autoSocksProxy"), autoSocksProxy},
        {QStringLiteral("backupHost"), backupHost},
        {QStringLiteral("backupSshPort"), backupSshPort},
    };
    if (groupId)
        o.insert(QStringLiteral("groupId"), *groupId);
    return o;
}

std::optional<Tunnel> Tunnel::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    JsonReader r(value.toObject());
    Tunnel t;
    t.id = r.requiredString("id");
    t.name = r.requiredString("name");
    const std::optional<TunnelType> type = tunnelTypeFromText(r.requiredString("type"));
    t.host = r.requiredString("host");
    t.user = r.requiredString("user");
    t.bindPort = r.requiredString("bindPort");
    t.sshPort = r.string("sshPort", t.sshPort);
    t.bind = r.string("bind", t.bind);
    t.targetHost = r.string("targetHost", t.targetHost);
    t.targetPort = r.string("targetPort", t.targetPort);
    t.identity = r.string("identity", t.identity);
    t.compression = r.boolean("compression", t.compression);
    t.strictHostKey = r.boolean("strictHostKey", t.strictHostKey);
    t.keepAlive = r.string("keepAlive", t.keepAlive);
    t.proxyJump = r.string("proxyJump", t.proxyJump);
    t.extra = r.string("extra", t.extra);
    t.autostart = r.boolean("autostart", t.autostart);
    t.autoreconnect = r.boolean("autoreconnect", t.autoreconnect);
    t.showInMenu = r.boolean("showInMenu", t.showInMenu);
    t.autoSocksProxy = r.boolean("autoSocksProxy", t.autoSocksProxy);
    t.backupHost = r.string("backupHost", t.backupHost);
    t.backupSshPort = r.string("backupSshPort", t.backupSshPort);
    t.groupId = r.optionalString("groupId");
    // An id is printed and passed around as a word: one holding control characters is not a valid record.
    if (!r.ok() || !type || ControlCharacters::contains(t.id))
        return std::nullopt;
    t.type = *type;
    return t;
}
