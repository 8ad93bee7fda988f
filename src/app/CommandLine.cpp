#include "app/CommandLine.h"

#include "app/BuildIdentity.h"
#include "model/Store.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

const QStringList readOnlyCommands{QStringLiteral("list"), QStringLiteral("args"), QStringLiteral("command"),
                                   QStringLiteral("test")};

} // namespace

CommandLine::CommandLine(QStringList arguments, const BuildIdentity &identity, Options options)
    : m_args(std::move(arguments)), m_identity(identity), m_options(std::move(options)), m_out(stdout), m_err(stderr)
{
}

QString CommandLine::usage()
{
    return QStringLiteral(
        "Usage: flumewire [COMMAND]\n"
        "Without a command, starts the tray application.\n"
        "\n"
        "Commands:\n"
        "  up [--verbose] [ID...]        run tunnels without a desktop (the autostart ones, or exactly the IDs);\n"
        "                                prints one line per status change; SIGINT/SIGTERM stops them and exits\n"
        "  list [--json]                 the saved tunnels (--json: the tunnels file's JSON array)\n"
        "  args [--backup] ID            the ssh program and its arguments, one per line\n"
        "  command ID                    the ssh command as shown in the editor\n"
        "  import [FILE] [--dry-run] [--json]\n"
        "                                add the forwards of an ssh config (default ~/.ssh/config)\n"
        "  test ID                       log in to the tunnel's server once; exit 0 when it worked\n"
        "  --version                     the name and version\n"
        "  --help                        this text\n");
}

int CommandLine::fail(const QString &message)
{
    m_err << "flumewire: " << message << Qt::endl;
    return 2;
}

bool CommandLine::takeFlags(const QStringList &allowed, QStringList &given)
{
    QStringList rest;
    for (const QString &arg : std::as_const(m_args)) {
        if (arg.startsWith(QLatin1String("--"))) {
            if (!allowed.contains(arg)) {
                fail(QStringLiteral("unknown option %1 (see flumewire --help)").arg(arg));
                return false;
            }
            given << arg;
        } else {
            rest << arg;
        }
    }
    m_args = rest;
    return true;
}

std::optional<Tunnel> CommandLine::findTunnel(const QString &id)
{
    const Store::LoadResult loaded = Store::load(std::nullopt, std::nullopt, m_identity.isDevBuild());
    for (const Tunnel &t : loaded.tunnels) {
        if (t.id == id)
            return t;
    }
    fail(QStringLiteral("no tunnel with id %1 (see flumewire list)").arg(id));
    return std::nullopt;
}

int CommandLine::run()
{
    if (m_args.isEmpty())
        return fail(QStringLiteral("no command given (see flumewire --help)"));
    const QString command = m_args.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        m_out << usage();
        return 0;
    }
    if (command == QLatin1String("--version")) {
        m_out << m_identity.appDisplayName() << ' ' << m_identity.appVersionString() << Qt::endl;
        return 0;
    }
    if (command == QLatin1String("list"))
        return list();
    if (command == QLatin1String("args"))
        return args();
    if (command == QLatin1String("command"))
        return this->command();
    if (command == QLatin1String("import"))
        return importConfig();
    if (command == QLatin1String("test"))
        return test();
    if (command == QLatin1String("up"))
        return up();
    return fail(QStringLiteral("unknown command %1 (see flumewire --help)").arg(command));
}

int CommandLine::list()
{
    QStringList flags;
    if (!takeFlags({QStringLiteral("--json")}, flags))
        return 2;
    if (!m_args.isEmpty())
        return fail(QStringLiteral("list takes no arguments"));
    const Store::LoadResult loaded = Store::load(std::nullopt, std::nullopt, m_identity.isDevBuild());
    if (flags.contains(QLatin1String("--json"))) {
        // What the tunnels file holds (or would hold at the next write): borrowed tunnels are not the build's own.
        QList<Tunnel> own;
        for (const Tunnel &t : loaded.tunnels) {
            if (!loaded.borrowedIds.contains(t.id))
                own.append(t);
        }
        m_out << Store::encodeTunnels(own) << Qt::endl;
        return 0;
    }
    for (const Tunnel &t : loaded.tunnels) {
        m_out << t.id << "  " << rawValue(t.type) << "  " << t.name << "  " << t.from() << QStringLiteral(" \u2192 ")
              << t.to() << Qt::endl;
    }
    return 0;
}

int CommandLine::args()
{
    QStringList flags;
    if (!takeFlags({QStringLiteral("--backup")}, flags))
        return 2;
    if (m_args.size() != 1)
        return fail(QStringLiteral("args takes one tunnel id"));
    const std::optional<Tunnel> tunnel = findTunnel(m_args.first());
    if (!tunnel)
        return 2;
    const bool backup = flags.contains(QLatin1String("--backup"));
    if (backup && !tunnel->hasBackup())
        return fail(QStringLiteral("tunnel %1 has no backup server").arg(tunnel->id));
    m_out << m_options.sshProgram << Qt::endl;
    for (const QString &arg : (backup ? tunnel->viaBackup() : *tunnel).sshArguments())
        m_out << arg << Qt::endl;
    return 0;
}

int CommandLine::command()
{
    QStringList flags;
    if (!takeFlags({}, flags))
        return 2;
    if (m_args.size() != 1)
        return fail(QStringLiteral("command takes one tunnel id"));
    const std::optional<Tunnel> tunnel = findTunnel(m_args.first());
    if (!tunnel)
        return 2;
    m_out << tunnel->displayCommand() << Qt::endl;
    return 0;
}

int CommandLine::importConfig()
{
    return fail(QStringLiteral("import is not available in this build"));
}

int CommandLine::test()
{
    return fail(QStringLiteral("test is not available in this build"));
}

int CommandLine::up()
{
    return fail(QStringLiteral("up is not available in this build"));
}
