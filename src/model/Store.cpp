#include "model/Store.h"

#include "log/Log.h"
#include "model/JsonReader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

namespace Store {
namespace {

// Files the last load found but could not use: the next write keeps each beside first. The store is used on the main
// thread only.
QSet<QString> g_keepBeforeWrite;

void markForKeeping(const QString &path, FileState state)
{
    if (state == FileState::Damaged || state == FileState::Unreadable)
        g_keepBeforeWrite.insert(path);
    else
        g_keepBeforeWrite.remove(path);
}

bool isMarkedForKeeping(const QString &path)
{
    return g_keepBeforeWrite.contains(path);
}

// Reads the whole file. Missing means nothing is there (a dangling link counts as nothing); Unreadable means
// something is there that cannot be read, with the reason.
ReadResult<QByteArray> readBytes(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (info.isDir())
        return {FileState::Unreadable, {}, QStringLiteral("%1 is a folder").arg(path)};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {FileState::Unreadable, {}, QStringLiteral("%1: %2").arg(path, file.errorString())};
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {FileState::Unreadable, {}, QStringLiteral("%1: %2").arg(path, file.errorString())};
    return {FileState::Loaded, std::move(data), {}};
}

template <typename T> ReadResult<T> readDecoded(const QString &path, std::optional<T> (*decode)(const QByteArray &))
{
    ReadResult<QByteArray> bytes = readBytes(path);
    if (bytes.state != FileState::Loaded)
        return {bytes.state, {}, bytes.problem};
    std::optional<T> value = decode(bytes.value);
    if (!value)
        return {FileState::Damaged, {}, QStringLiteral("%1 is damaged (not a valid file of its kind)").arg(path)};
    return {FileState::Loaded, std::move(*value), {}};
}

// Before the first write over a file the load could not use, a copy of it goes beside it so that nothing the user
// saved is destroyed. When the copy cannot be made the write must not happen.
WriteResult keepAside(const QString &path)
{
    if (!isMarkedForKeeping(path))
        return {};
    const ReadResult<QByteArray> current = readBytes(path);
    if (current.state == FileState::Missing) {
        markForKeeping(path, FileState::Missing);
        return {};
    }
    if (QFileInfo(path).isDir())
        return {}; // the write itself refuses and says so
    if (current.state != FileState::Loaded)
        return {QStringLiteral("%1; it is not overwritten until it can be kept (fix its permissions or move it)")
                    .arg(current.problem)};
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString kept = path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFileInfo::exists(kept) || QFileInfo(kept).isSymLink(); ++n)
        kept = path + QStringLiteral(".unreadable-") + stamp + QLatin1Char('-') + QString::number(n);
    const WriteResult copied = AtomicFile::write(kept, current.value);
    if (!copied) {
        Log::state(Log::Level::Error, QStringLiteral("could not keep unreadable file %1: %2").arg(path, copied.error));
        return {QStringLiteral("%1 could not be kept before overwriting it: %2").arg(path, copied.error)};
    }
    Log::state(Log::Level::Error, QStringLiteral("kept unreadable file %1 as %2").arg(path, kept));
    markForKeeping(path, FileState::Missing);
    return {};
}

WriteResult writeKeeping(const QString &path, const QByteArray &data)
{
    if (WriteResult kept = keepAside(path); !kept)
        return kept;
    return AtomicFile::write(path, data);
}

} // namespace

QString folder(bool dev)
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(dev ? QStringLiteral("Flumewire-Dev") : QStringLiteral("Flumewire"));
}

QString tunnelsPath(bool dev)
{
    return QDir(folder(dev)).filePath(QStringLiteral("tunnels.json"));
}

QString groupsPath(bool dev)
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

WriteResult save(const QList<Tunnel> &tunnels, bool dev)
{
    return writeKeeping(tunnelsPath(dev), encodeTunnels(tunnels));
}

WriteResult saveGroups(const QList<TunnelGroup> &groups, bool dev)
{
    const QString path = groupsPath(dev);
    if (groups.isEmpty() && isMarkedForKeeping(path)) {
        // Writing the empty list would only hide the damaged file; the tunnels still name its groups.
        Log::state(Log::Level::Info, QStringLiteral("left %1 as it is: it did not load and there are no groups to "
                                                    "write")
                                         .arg(path));
        return {};
    }
    return writeKeeping(path, encodeGroups(groups));
}

ReadResult<QList<Tunnel>> readTunnelsFile(const QString &path)
{
    return readDecoded<QList<Tunnel>>(path, &decodeTunnels);
}

ReadResult<QList<TunnelGroup>> readGroupsFile(const QString &path)
{
    return readDecoded<QList<TunnelGroup>>(path, &decodeGroups);
}

std::optional<QList<Tunnel>> readTunnels(bool dev)
{
    ReadResult<QList<Tunnel>> read = readTunnelsFile(tunnelsPath(dev));
    if (read.state != FileState::Loaded)
        return std::nullopt;
    return std::move(read.value);
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

LoadResult load(const std::optional<QList<Tunnel>> &tunnels, const std::optional<QList<TunnelGroup>> &groups, bool dev,
                Seed seed)
{
    LoadResult result;
    if (tunnels) {
        result.tunnels = *tunnels;
    } else {
        const QString path = tunnelsPath(dev);
        ReadResult<QList<Tunnel>> read = readTunnelsFile(path);
        result.tunnelsFile = read.state;
        result.tunnelsProblem = read.problem;
        markForKeeping(path, read.state);
        if (read.state == FileState::Loaded) {
            result.tunnels = std::move(read.value);
        } else if (seed == Seed::WhenUnusable) {
            result.tunnels = sampleTunnels();
            result.seeded = true;
        }
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
        const QString path = groupsPath(dev);
        ReadResult<QList<TunnelGroup>> read = readGroupsFile(path);
        result.groupsFile = read.state;
        markForKeeping(path, read.state);
        if (read.state == FileState::Loaded)
            result.groups = std::move(read.value);
        else if (read.state != FileState::Missing)
            Log::state(Log::Level::Error,
                       QStringLiteral("groups not loaded, tunnels keep their group ids: %1").arg(read.problem));
    }
    // Without a usable groups file there is no telling which ids are orphans.
    if (result.groupsFile == FileState::Damaged || result.groupsFile == FileState::Unreadable)
        return result;

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
