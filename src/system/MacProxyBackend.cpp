#include "system/MacProxyBackend.h"

#include "log/Log.h"
#include "model/Tunnel.h"
#include "ssh/ChildProcess.h"

#include <QProcess>
#include <QStringDecoder>

namespace {

// scutil and networksetup answer at once; a tool that never exits must not hold the worker (and quit) forever.
constexpr int toolTimeoutMs = 30000;

// UTF-8 text, or empty text when the bytes are not valid UTF-8.
QString decodeStrict(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return {};
    return text;
}

// The tool's output once it has finished; nothing when it could not start or did not finish in time.
std::optional<QString> readToEnd(QProcess &process)
{
    if (!ChildProcess::finishWithin(process, toolTimeoutMs))
        return std::nullopt;
    return decodeStrict(process.readAllStandardOutput());
}

const QString keyService = QStringLiteral("service");
const QString keyEnabled = QStringLiteral("enabled");
const QString keyHost = QStringLiteral("host");
const QString keyPort = QStringLiteral("port");

} // namespace

std::optional<QString> MacProxyBackend::scutilValue(const QString &output, const QString &key)
{
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        QStringList pieces = line.split(QLatin1Char(':'));
        if (pieces.size() < 2)
            continue;
        if (trimSpacesAndTabs(pieces.first()) != key)
            continue;
        pieces.removeFirst();
        return trimSpacesAndTabs(pieces.join(QLatin1Char(':')));
    }
    return std::nullopt;
}

MacProxyBackend::SocksState MacProxyBackend::parseSocks(const QString &output)
{
    SocksState state;
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QStringList pieces = line.split(QStringLiteral(": "));
        if (pieces.size() < 2)
            continue;
        const QString key = trimSpacesAndTabs(pieces.at(0));
        const QString value = trimSpacesAndTabs(pieces.at(1));
        if (key == QLatin1String("Enabled"))
            state.enabled = value.toLower() == QLatin1String("yes");
        else if (key == QLatin1String("Server"))
            state.host = value;
        else if (key == QLatin1String("Port"))
            state.port = value;
    }
    return state;
}

QString MacProxyBackend::appleScriptEscape(const QString &command)
{
    QString escaped = command;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return escaped;
}

QString MacProxyBackend::adminScript(const QString &command)
{
    return QStringLiteral("do shell script \"") + appleScriptEscape(command) +
           QStringLiteral("\" with administrator privileges");
}

std::optional<QString> MacProxyBackend::scutil(const QString &command, const QString &key) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setChildProcessModifier(ChildProcess::setup());
    process.start(m_tools.scutil, {});
    // The input stays open: scutil reads commands until "quit".
    process.write((command + QStringLiteral("\nquit\n")).toUtf8());
    const std::optional<QString> output = readToEnd(process);
    if (!output)
        return std::nullopt;
    return scutilValue(*output, key);
}

std::optional<QString> MacProxyBackend::primaryService() const
{
    const std::optional<QString> id =
        scutil(QStringLiteral("show State:/Network/Global/IPv4"), QStringLiteral("PrimaryService"));
    if (!id)
        return std::nullopt;
    return scutil(QStringLiteral("show Setup:/Network/Service/") + *id, QStringLiteral("UserDefinedName"));
}

MacProxyBackend::SocksState MacProxyBackend::currentSocks(const QString &service) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setChildProcessModifier(ChildProcess::setup());
    process.start(m_tools.networksetup, {QStringLiteral("-getsocksfirewallproxy"), service});
    process.closeWriteChannel();
    const std::optional<QString> output = readToEnd(process);
    if (!output)
        return {};
    return parseSocks(*output);
}

QString MacProxyBackend::setCmd(const QString &service, const QString &host, const QString &port) const
{
    const QString s = shellQuote(service);
    return m_tools.networksetup + QStringLiteral(" -setsocksfirewallproxy ") + s + QLatin1Char(' ') + shellQuote(host) +
           QLatin1Char(' ') + shellQuote(port) + QStringLiteral("; ") + m_tools.networksetup +
           QStringLiteral(" -setsocksfirewallproxystate ") + s + QStringLiteral(" on");
}

bool MacProxyBackend::runAdmin(const QString &command) const
{
    QProcess process;
    process.setChildProcessModifier(ChildProcess::setup());
    process.start(m_tools.osascript, {QStringLiteral("-e"), adminScript(command)});
    process.closeWriteChannel();
    // The user may take as long as they like over the administrator prompt.
    if (!process.waitForFinished(-1) && process.error() == QProcess::FailedToStart) {
        Log::ssh(Log::Level::Error, QStringLiteral("system proxy admin run failed: %1").arg(process.errorString()));
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

std::optional<QJsonObject> MacProxyBackend::enable(const QString &host, const QString &port)
{
    const std::optional<QString> service = primaryService();
    if (!service) {
        Log::ssh(Log::Level::Error, QStringLiteral("system proxy: no primary network service found"));
        return std::nullopt;
    }
    const SocksState prior = currentSocks(*service);
    Log::ssh(Log::Level::Default,
             QStringLiteral("system SOCKS proxy: %1:%2 on %3 (asking for admin)").arg(host, port, *service));
    if (!runAdmin(setCmd(*service, host, port))) {
        Log::ssh(Log::Level::Error, QStringLiteral("system proxy: failed to set (cancelled or error)"));
        return std::nullopt;
    }
    return QJsonObject{
        {keyService, *service}, {keyEnabled, prior.enabled}, {keyHost, prior.host}, {keyPort, prior.port}};
}

QString MacProxyBackend::restoreCommand(const QJsonObject &prior) const
{
    const QJsonValue service = prior.value(keyService);
    const QJsonValue enabled = prior.value(keyEnabled);
    const QJsonValue host = prior.value(keyHost);
    const QJsonValue port = prior.value(keyPort);
    if (!service.isString() || !enabled.isBool() || !host.isString() || !port.isString())
        return {};
    if (enabled.toBool())
        return setCmd(service.toString(), host.toString(), port.toString());
    return m_tools.networksetup + QStringLiteral(" -setsocksfirewallproxystate ") + shellQuote(service.toString()) +
           QStringLiteral(" off");
}

bool MacProxyBackend::restore(const QJsonObject &prior)
{
    const QString command = restoreCommand(prior);
    if (command.isEmpty())
        return false;
    return runAdmin(command);
}

bool MacProxyBackend::pointsAt(const QJsonObject &prior, const QString &host, const QString &port) const
{
    const QJsonValue service = prior.value(keyService);
    if (!service.isString())
        return false;
    return currentSocks(service.toString()) == SocksState{true, host, port};
}
