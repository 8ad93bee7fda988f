#include "system/GnomeProxyBackend.h"

#include "log/Log.h"
#include "ssh/ChildProcess.h"

#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>

namespace {

constexpr int toolTimeoutMs = 30000;

const QString proxySchema = QStringLiteral("org.gnome.system.proxy");
const QString socksSchema = QStringLiteral("org.gnome.system.proxy.socks");
const QString manualMode = QStringLiteral("'manual'");
const QString keyChanged = QStringLiteral("changed");
const QString keySchema = QStringLiteral("schema");
const QString keyKey = QStringLiteral("key");
const QString keyValue = QStringLiteral("value");

// The only keys this backend ever writes; a saved prior setting naming anything else is not ours.
bool isKnownKey(const QString &schema, const QString &key)
{
    if (schema == proxySchema)
        return key == QLatin1String("mode");
    if (schema == socksSchema)
        return key == QLatin1String("host") || key == QLatin1String("port");
    if (schema == QLatin1String("org.gnome.system.proxy.http") ||
        schema == QLatin1String("org.gnome.system.proxy.https") ||
        schema == QLatin1String("org.gnome.system.proxy.ftp"))
        return key == QLatin1String("host");
    return false;
}

void logFailure()
{
    Log::ssh(Log::Level::Error, QStringLiteral("system proxy: failed to set (cancelled or error)"));
}

} // namespace

GnomeProxyBackend::GnomeProxyBackend(QString gsettings, QProcessEnvironment environment)
    : m_gsettings(std::move(gsettings)), m_environment(std::move(environment))
{
}

QString GnomeProxyBackend::gvariantString(const QString &text)
{
    QString inner = text;
    inner.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    inner.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

std::optional<QString> GnomeProxyBackend::run(const QStringList &arguments) const
{
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.setChildProcessModifier(ChildProcess::setup());
    process.start(m_gsettings, arguments);
    process.closeWriteChannel();
    if (!ChildProcess::finishWithin(process, toolTimeoutMs))
        return std::nullopt;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

std::optional<QString> GnomeProxyBackend::get(const QString &schema, const QString &key) const
{
    return run({QStringLiteral("get"), schema, key});
}

bool GnomeProxyBackend::set(const QString &schema, const QString &key, const QString &value) const
{
    return run({QStringLiteral("set"), schema, key, value}).has_value();
}

bool GnomeProxyBackend::isAvailable() const
{
    if (m_gsettings.isEmpty())
        return false;
    for (const QString &schema : {proxySchema, socksSchema}) {
        if (!run({QStringLiteral("list-keys"), schema}))
            return false;
    }
    return true;
}

std::optional<QJsonObject> GnomeProxyBackend::enable(const QString &host, const QString &port)
{
    // Checked here so that the port goes to gsettings as a plain number and never as some other GVariant text.
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(port).hasMatch() || port.toInt() > 65535) {
        logFailure();
        return std::nullopt;
    }
    const std::optional<QString> mode = get(proxySchema, QStringLiteral("mode"));
    if (!mode) {
        logFailure();
        return std::nullopt;
    }

    // The mode goes last so that the desktop never uses a half-written manual setting.
    QList<Change> wanted;
    if (*mode != manualMode) {
        for (const char *other : {"http", "https", "ftp"})
            wanted.append(
                {proxySchema + QLatin1Char('.') + QLatin1String(other), QStringLiteral("host"), QStringLiteral("''")});
    }
    wanted.append({socksSchema, QStringLiteral("host"), gvariantString(host)});
    wanted.append({socksSchema, QStringLiteral("port"), port});
    wanted.append({proxySchema, QStringLiteral("mode"), manualMode});

    Log::ssh(Log::Level::Default,
             QStringLiteral("system SOCKS proxy: %1:%2 in the GNOME proxy settings").arg(host, port));
    QList<Change> done;
    for (const Change &change : wanted) {
        const std::optional<QString> before =
            change.key == QLatin1String("mode") ? mode : get(change.schema, change.key);
        if (!before || (*before != change.value && !set(change.schema, change.key, change.value))) {
            for (auto it = done.crbegin(); it != done.crend(); ++it)
                set(it->schema, it->key, it->value);
            logFailure();
            return std::nullopt;
        }
        if (*before != change.value)
            done.append({change.schema, change.key, *before});
    }

    QJsonArray changed;
    for (const Change &change : done)
        changed.append(QJsonObject{{keySchema, change.schema}, {keyKey, change.key}, {keyValue, change.value}});
    return QJsonObject{{keyChanged, changed}};
}

std::optional<QList<GnomeProxyBackend::Change>> GnomeProxyBackend::changesOf(const QJsonObject &prior)
{
    const QJsonValue changed = prior.value(keyChanged);
    if (!changed.isArray())
        return std::nullopt;
    QList<Change> changes;
    for (const QJsonValue &entry : changed.toArray()) {
        const QJsonObject object = entry.toObject();
        const QJsonValue schema = object.value(keySchema);
        const QJsonValue key = object.value(keyKey);
        const QJsonValue value = object.value(keyValue);
        if (!schema.isString() || !key.isString() || !value.isString() ||
            !isKnownKey(schema.toString(), key.toString()))
            return std::nullopt;
        changes.append({schema.toString(), key.toString(), value.toString()});
    }
    return changes;
}

QString GnomeProxyBackend::restoreCommand(const QJsonObject &prior) const
{
    const std::optional<QList<Change>> changes = changesOf(prior);
    if (!changes)
        return {};
    QStringList commands;
    for (auto it = changes->crbegin(); it != changes->crend(); ++it)
        commands << shellQuote(m_gsettings) + QStringLiteral(" set ") + it->schema + QLatin1Char(' ') + it->key +
                        QLatin1Char(' ') + shellQuote(it->value);
    return commands.join(QStringLiteral("; "));
}

bool GnomeProxyBackend::restore(const QJsonObject &prior)
{
    const std::optional<QList<Change>> changes = changesOf(prior);
    if (!changes)
        return false;
    bool ok = true;
    // Undo in reverse: the mode is put back first, so the desktop stops using the proxy at once.
    for (auto it = changes->crbegin(); it != changes->crend(); ++it)
        ok = set(it->schema, it->key, it->value) && ok;
    return ok;
}

bool GnomeProxyBackend::pointsAt(const QJsonObject &, const QString &host, const QString &port) const
{
    return get(proxySchema, QStringLiteral("mode")) == manualMode &&
           get(socksSchema, QStringLiteral("host")) == gvariantString(host) &&
           get(socksSchema, QStringLiteral("port")) == port;
}
