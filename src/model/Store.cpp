#include "model/Store.h"

#include "log/Log.h"
#include "model/JsonReader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QSaveFile>
#include <QStandardPaths>

namespace Store {
namespace {

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

std::optional<QByteArray> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// A file that exists but does not decode holds something the user saved; before the first write over it in this
// process, keep a copy beside it so that falling back to the sample set never destroys it silently.
void keepUnreadable(const QString &path, bool (*decodes)(const QByteArray &))
{
    static QMutex mutex;
    static QSet<QString> checked;
    {
        QMutexLocker locker(&mutex);
        if (checked.contains(path))
            return;
        checked.insert(path);
    }
    const std::optional<QByteArray> data = readFile(path);
    if (!data || decodes(*data))
        return;
    const QString kept = path + QStringLiteral(".unreadable-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFile::copy(path, kept)) {
        QFile::setPermissions(kept, ownerOnly);
        Log::state(Log::Level::Error, QStringLiteral("kept unreadable file %1 as %2").arg(path, kept));
    } else {
        Log::state(Log::Level::Error, QStringLiteral("could not keep unreadable file %1").arg(path));
    }
}

bool writeAtomically(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(ownerOnly);
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    // The temporary file may have been made with the process's umask; make sure the result is the user's only.
    QFile::setPermissions(path, ownerOnly);
    return true;
}

} // namespace

QString folder(bool dev)
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString path = QDir(base).filePath(dev ? QStringLiteral("Flumewire-Dev") : QStringLiteral("Flumewire"));
    QDir().mkpath(path);
    return path;
}

QString url(bool dev)
{
    return QDir(folder(dev)).filePath(QStringLiteral("tunnels.json"));
}

QString groupsUrl(bool dev)
{
    return QDir(folder(dev)).filePath(QStringLiteral("groups.json"));
}

QByteArray encodeTunnels(const QList<Tunnel> &tunnels)
{
    QJsonArray array;
    for (const Tunnel &t : tunnels)
        array.append(t.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<Tunnel>> decodeTunnels(const QByteArray &data)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    QList<Tunnel> tunnels;
    const QJsonArray array = doc.array();
    tunnels.reserve(array.size());
    for (const QJsonValue &value : array) {
        std::optional<Tunnel> t = Tunnel::fromJson(value);
        if (!t)
            return std::nullopt;
        tunnels.append(std::move(*t));
    }
    return tunnels;
}

QByteArray encodeGroups(const QList<TunnelGroup> &groups)
{
    QJsonArray array;
    for (const TunnelGroup &g : groups)
        array.append(g.toJson());
    const QJsonObject file{{QStringLiteral("version"), 1}, {QStringLiteral("groups"), array}};
    return QJsonDocument(file).toJson(QJsonDocument::Compact);
}

std::optional<QList<TunnelGroup>> decodeGroups(const QByteArray &data)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject file = doc.object();
    JsonReader reader(file);
    reader.requiredInteger("version");
    const QJsonValue list = file.value(QStringLiteral("groups"));
    if (!reader.ok() || !list.isArray())
        return std::nullopt;
    QList<TunnelGroup> groups;
    for (const QJsonValue &value : list.toArray()) {
        std::optional<TunnelGroup> g = TunnelGroup::fromJson(value);
        if (!g)
            return std::nullopt;
        groups.append(std::move(*g));
    }
    return groups;
}

bool save(const QList<Tunnel> &tunnels, bool dev)
{
    const QString path = url(dev);
    keepUnreadable(path, [](const QByteArray &d) { return decodeTunnels(d).has_value(); });
    return writeAtomically(path, encodeTunnels(tunnels));
}

bool saveGroups(const QList<TunnelGroup> &groups, bool dev)
{
    const QString path = groupsUrl(dev);
    keepUnreadable(path, [](const QByteArray &d) { return decodeGroups(d).has_value(); });
    return writeAtomically(path, encodeGroups(groups));
}

std::optional<QList<Tunnel>> readTunnels(bool dev)
{
    const std::optional<QByteArray> data = readFile(url(dev));
    if (!data)
        return std::nullopt;
    return decodeTunnels(*data);
}

// The samples show what a list of tunnels looks like; none of them autostarts, so a first launch greets the user
// with idle switches rather than failures. Their servers sit under the reserved ".example" domain, which never
// resolves: switching one on fails at once with "Host not found" instead of reaching out to somebody's machine.
QList<Tunnel> sampleTunnels()
{
    auto make = [](const char *id, const char *name, TunnelType type, const char *host, const char *user) {
        Tunnel t;
        t.id = QLatin1String(id);
        t.name = QLatin1String(name);
        t.type = type;
        t.host = QLatin1String(host);
        t.user = QLatin1String(user);
        return t;
    };
    Tunnel api = make("prod-api", "Prod API", TunnelType::Local, "bastion.corp.example", "deploy");
    api.bindPort = QStringLiteral("8080");
    api.targetHost = QStringLiteral("api.internal.corp.example");
    api.targetPort = QStringLiteral("80");

    Tunnel metrics = make("metrics", "Metrics Proxy", TunnelType::Socks, "metrics.corp.example", "ops");
    metrics.bindPort = QStringLiteral("1080");
    metrics.proxyJump = QStringLiteral("jump.corp.example");

    Tunnel db = make("staging-db", "Staging DB", TunnelType::Local, "staging.corp.example", "deploy");
    db.bindPort = QStringLiteral("5432");
    db.targetHost = QStringLiteral("db.staging.corp.example");
    db.targetPort = QStringLiteral("5432");

    Tunnel cache = make("edge-cache", "Edge Cache", TunnelType::Remote, "edge.corp.example", "root");
    cache.bind = QStringLiteral("0.0.0.0");
    cache.bindPort = QStringLiteral("6379");
    cache.targetHost = QStringLiteral("127.0.0.1");
    cache.targetPort = QStringLiteral("6379");

    return {api, metrics, db, cache};
}

LoadResult load(const std::optional<QList<Tunnel>> &tunnels, const std::optional<QList<TunnelGroup>> &groups, bool dev)
{
    LoadResult result;
    if (tunnels) {
        result.tunnels = *tunnels;
    } else if (std::optional<QList<Tunnel>> read = readTunnels(dev)) {
        result.tunnels = std::move(*read);
    } else {
        result.tunnels = sampleTunnels();
        result.seeded = true;
    }

    if (dev && !tunnels) {
        QSet<QString> own;
        for (const Tunnel &t : std::as_const(result.tunnels))
            own.insert(t.id);
        const QList<Tunnel> installed = readTunnels(false).value_or(QList<Tunnel>());
        for (Tunnel t : installed) {
            if (own.contains(t.id))
                continue;
            t.autostart = false;
            result.borrowedIds.insert(t.id);
            result.tunnels.append(std::move(t));
        }
    }

    if (groups) {
        result.groups = *groups;
    } else if (!tunnels) {
        const std::optional<QByteArray> data = readFile(groupsUrl(dev));
        if (data)
            result.groups = decodeGroups(*data).value_or(QList<TunnelGroup>());
    }

    QSet<QString> groupIds;
    for (const TunnelGroup &g : std::as_const(result.groups))
        groupIds.insert(g.id);
    for (Tunnel &t : result.tunnels) {
        if (t.groupId && !groupIds.contains(*t.groupId))
            t.groupId.reset();
    }
    return result;
}

} // namespace Store
