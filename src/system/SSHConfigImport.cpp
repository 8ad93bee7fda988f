#include "system/SSHConfigImport.h"

#include "model/ControlCharacters.h"

#include <QFile>
#include <QStringDecoder>
#include <pwd.h>
#include <unistd.h>

namespace SSHConfigImport {
namespace {

bool isSpaceOrTab(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Line feed, carriage return and the other characters that end a line in Unicode text.
bool isNewline(QChar c)
{
    switch (c.unicode()) {
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

QStringView trimmed(QStringView text, bool (*strip)(QChar))
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && strip(text.at(begin)))
        ++begin;
    while (end > begin && strip(text.at(end - 1)))
        --end;
    return text.sliced(begin, end - begin);
}

// The arguments of a directive as ssh reads them: separated by spaces and tabs; single or double quotes group
// words and are removed; a backslash before a quote, a backslash or (outside quotes) a space stands for that
// character, before anything else it stays; a "#" at the start of an unquoted word begins a comment. None when a
// quote is left open (ssh rejects such a line).
std::optional<QStringList> arguments(QStringView text)
{
    QStringList out;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (isSpaceOrTab(text.at(i))) {
            ++i;
            continue;
        }
        if (text.at(i) == u'#')
            break;
        QString word;
        QChar quote;
        for (; i < n; ++i) {
            const QChar c = text.at(i);
            if (c == u'\\' && i + 1 < n) {
                const QChar next = text.at(i + 1);
                if (next == u'\'' || next == u'"' || next == u'\\' || (quote.isNull() && next == u' ')) {
                    word += next;
                    ++i;
                    continue;
                }
                word += c;
            } else if (quote.isNull() && isSpaceOrTab(c)) {
                break;
            } else if (quote.isNull() && (c == u'"' || c == u'\'')) {
                quote = c;
            } else if (!quote.isNull() && c == quote) {
                quote = QChar();
            } else {
                word += c;
            }
        }
        if (!quote.isNull())
            return std::nullopt;
        out << word;
    }
    return out;
}

struct Directive {
    QString keyword;
    QString value;
};

Directive splitDirective(QStringView line)
{
    if (line.isEmpty())
        return {};
    qsizetype at = 0;
    while (at < line.size() && !isSpaceOrTab(line.at(at)) && line.at(at) != QLatin1Char('='))
        ++at;
    if (at == line.size())
        return {line.toString(), {}};
    const QStringView value = trimmed(line.sliced(at + 1), [](QChar c) { return isSpaceOrTab(c) || c == '='; });
    return {line.first(at).toString(), value.toString()};
}

QString loginName()
{
    static const QString name = [] {
        const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
        QByteArray buffer(size > 0 ? size : 16384, '\0');
        passwd entry{};
        passwd *found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
            return QString::fromLocal8Bit(found->pw_name);
        const QString user = qEnvironmentVariable("USER");
        return user.isEmpty() ? qEnvironmentVariable("LOGNAME") : user;
    }();
    return name;
}

// "address:port" at the last colon; no colon: the default address and the whole text as the port.
std::pair<QString, QString> splitAtLastColon(const QString &text, const QString &noAddress)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return {noAddress, text};
    return {text.first(colon), text.sliced(colon + 1)};
}

struct Block {
    QStringList patterns;
    std::optional<QString> hostName;
    std::optional<QString> user;
    std::optional<QString> port;
    std::optional<QString> identity;
    std::optional<QString> proxyJump;
    QList<std::pair<TunnelType, QStringList>> forwards;
};

// A pattern that names one host: no wildcard, not negated ("!bastion" excludes a host, it is not one), and
// nothing that could not be printed as part of an id.
bool isConcreteHost(const QString &pattern)
{
    return !pattern.isEmpty() && !pattern.contains(QLatin1Char('*')) && !pattern.contains(QLatin1Char('?')) &&
           !pattern.startsWith(QLatin1Char('!')) && !ControlCharacters::contains(pattern);
}

void flush(Block &block, QList<Tunnel> &out)
{
    const auto alias = std::find_if(block.patterns.cbegin(), block.patterns.cend(), isConcreteHost);
    if (alias != block.patterns.cend()) {
        for (const auto &[type, parts] : block.forwards) {
            if (parts.isEmpty())
                continue;
            auto [bind, bindPort] = splitAtLastColon(parts.first(), QStringLiteral("127.0.0.1"));
            if (bind.isEmpty())
                bind = QStringLiteral("127.0.0.1");
            QString targetHost;
            QString targetPort;
            if (type != TunnelType::Socks) {
                if (parts.size() < 2)
                    continue;
                std::tie(targetHost, targetPort) = splitAtLastColon(parts.at(1), QString());
            }
            Tunnel t;
            t.id = (QStringLiteral("ssh-") + *alias + QLatin1Char('-') + textOf(type) + QLatin1Char('-') + bindPort)
                       .toLower();
            if (ControlCharacters::contains(t.id))
                continue;
            t.name = *alias;
            t.type = type;
            t.host = *alias;
            t.user = block.user.value_or(loginName());
            t.sshPort = block.port.value_or(QStringLiteral("22"));
            t.bind = bind;
            t.bindPort = bindPort;
            t.targetHost = targetHost;
            t.targetPort = targetPort;
            t.identity = block.identity.value_or(QString());
            t.compression = false;
            t.strictHostKey = true;
            t.keepAlive = QStringLiteral("30");
            t.proxyJump = block.proxyJump.value_or(QString());
            t.autostart = false;
            t.autoreconnect = true;
            t.showInMenu = true;
            t.autoSocksProxy = false;
            out.append(std::move(t));
        }
    }
    block = Block{};
}

} // namespace

QList<Tunnel> parse(const QString &text)
{
    QList<Tunnel> out;
    Block block;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isNewline(text.at(end)))
            ++end;
        QStringView line = QStringView(text).sliced(start, end - start);
        start = end + 1;

        line = trimmed(line, isSpaceOrTab);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;

        const Directive d = splitDirective(line);
        const std::optional<QStringList> args = arguments(d.value);
        if (!args)
            continue;
        const QString keyword = d.keyword.toLower();
        // Settings take their first argument, as ssh does.
        const std::optional<QString> first = args->isEmpty() ? std::nullopt : std::optional(args->first());
        if (keyword == QLatin1String("host")) {
            flush(block, out);
            block.patterns = *args;
        } else if (keyword == QLatin1String("match")) {
            // A match block applies to hosts chosen at connection time: what follows belongs to no host block.
            flush(block, out);
        } else if (!first) {
            continue;
        } else if (keyword == QLatin1String("hostname")) {
            block.hostName = first;
        } else if (keyword == QLatin1String("user")) {
            block.user = first;
        } else if (keyword == QLatin1String("port")) {
            block.port = first;
        } else if (keyword == QLatin1String("identityfile")) {
            block.identity = first;
        } else if (keyword == QLatin1String("proxyjump")) {
            block.proxyJump = first;
        } else if (keyword == QLatin1String("localforward")) {
            block.forwards.append({TunnelType::Local, *args});
        } else if (keyword == QLatin1String("remoteforward")) {
            block.forwards.append({TunnelType::Remote, *args});
        } else if (keyword == QLatin1String("dynamicforward")) {
            block.forwards.append({TunnelType::Socks, *args});
        }
    }
    flush(block, out);
    return out;
}

std::optional<QList<Tunnel>> parseFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return parse(text);
}

} // namespace SSHConfigImport
