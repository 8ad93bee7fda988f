#include "app/CommandLine.h"

#include "app/BuildIdentity.h"
#include "app/BusService.h"
#include "app/InstanceLock.h"
#include "app/RemoteCommands.h"
#include "app/SignalWatcher.h"
#include "engine/AppState.h"
#include "model/ControlCharacters.h"
#include "model/Store.h"
#include "ssh/SSHManager.h"
#include "system/SSHConfigImport.h"
#include "system/SystemProxy.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QHash>
#include <QSet>
#include <QTime>

#include <QJsonArray>
#include <QJsonDocument>

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
        "  up [--verbose] [--attempts N] [ID...]\n"
        "                                keep tunnels up without a desktop (the autostart ones, or exactly the IDs):\n"
        "                                a failed tunnel is tried again after 1, 2, 4 ... 30 s, for ever or N times;\n"
        "                                prints one line per status change; exits 1 once every tunnel has given up;\n"
        "                                SIGINT/SIGTERM stops them and exits\n"
        "  list [--json]                 the saved tunnels (--json: the tunnels file's JSON array)\n"
        "  args [--backup] ID            the ssh program and its arguments, one per line\n"
        "  command ID                    the ssh command as shown in the editor\n"
        "  import [FILE] [--dry-run] [--json]\n"
        "                                add the forwards of an ssh config (default ~/.ssh/config)\n"
        "  test ID                       log in to the tunnel's server once; exit 0 when it worked\n"
        "  start ID...                   start tunnels or groups (by id) in the running Flumewire; exit 3 when none\n"
        "                                runs, 1 when an id is unknown\n"
        "  stop ID...                    stop tunnels or groups in the running Flumewire\n"
        "  toggle ID...                  switch tunnels or groups on or off in the running Flumewire\n"
        "  status [--json] [--follow] [--format waybar]\n"
        "                                the running Flumewire's tunnels (or the saved ones, idle); --follow prints\n"
        "                                each change until interrupted; waybar: one JSON object a line\n"
        "  --version                     the name and version\n"
        "  --help                        this text\n");
}

namespace {

QString printable(const QString &text)
{
    return ControlCharacters::escaped(text);
}

// JSON output: QJsonDocument escapes C0 controls itself; DEL, C1 controls, line separators and direction overrides
// go out raw, so they are escaped here (they can only occur inside strings, where \uXXXX means the same).
QByteArray safeJson(const QByteArray &json)
{
    const QString text = QString::fromUtf8(json);
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (ControlCharacters::isControl(c))
            out += QStringLiteral("\\u%1").arg(QString::number(c.unicode(), 16).rightJustified(4, u'0'));
        else
            out += c;
    }
    return out.toUtf8();
}

} // namespace

int CommandLine::fail(const QString &message)
{
    m_err << "flumewire: " << message << Qt::endl;
    return 2;
}

std::optional<Store::LoadResult> CommandLine::loadTunnels()
{
    Store::LoadResult loaded = Store::load(std::nullopt, std::nullopt, m_identity.isDevBuild(), Store::Seed::Never);
    if (loaded.tunnelsFile == Store::FileState::Damaged || loaded.tunnelsFile == Store::FileState::Unreadable) {
        fail(QStringLiteral("cannot read the tunnels file: %1").arg(printable(loaded.tunnelsProblem)));
        return std::nullopt;
    }
    return loaded;
}

bool CommandLine::parse(const QList<QCommandLineOption> &options)
{
    // "-json" reads as "--json"; an id that begins with a dash goes after "--", which ends the options.
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOptions(options);
    if (m_parser.parse(QStringList(QStringLiteral("flumewire")) + m_args)) {
        m_args = m_parser.positionalArguments();
        return true;
    }
    if (!m_parser.unknownOptionNames().isEmpty()) {
        // Named as typed, with its dashes.
        const QString name = m_parser.unknownOptionNames().first();
        QString typed = QStringLiteral("--") + name;
        for (const QString &arg : std::as_const(m_args)) {
            const QString option = arg.section(QLatin1Char('='), 0, 0);
            if (option == QLatin1Char('-') + name || option == QStringLiteral("--") + name) {
                typed = option;
                break;
            }
        }
        fail(QStringLiteral("unknown option %1 (see flumewire --help)").arg(printable(typed)));
        return false;
    }
    // An option that takes a value was the last argument: say what it needs.
    for (const QCommandLineOption &option : options) {
        const QString name = QStringLiteral("--") + option.names().first();
        if (!option.valueName().isEmpty() && !m_args.isEmpty() && m_args.last() == name) {
            fail(QStringLiteral("%1 needs %2").arg(name, option.valueName()));
            return false;
        }
    }
    fail(printable(m_parser.errorText()));
    return false;
}

std::optional<Tunnel> CommandLine::findTunnel(const QString &id)
{
    const std::optional<Store::LoadResult> loaded = loadTunnels();
    if (!loaded)
        return std::nullopt;
    for (const Tunnel &t : loaded->tunnels) {
        if (t.id == id)
            return t;
    }
    fail(QStringLiteral("no tunnel with id %1 (see flumewire list)").arg(printable(id)));
    return std::nullopt;
}

int CommandLine::run()
{
    if (m_args.isEmpty())
        return fail(QStringLiteral("no command given (see flumewire --help)"));
    m_command = m_args.takeFirst();
    if (m_command == QLatin1String("--help") || m_command == QLatin1String("-h") ||
        m_command == QLatin1String("help")) {
        m_out << usage();
        return 0;
    }
    if (m_command == QLatin1String("--version")) {
        m_out << m_identity.appDisplayName() << ' ' << m_identity.appVersionString() << Qt::endl;
        return 0;
    }

    const auto flag = [](const char *name) { return QCommandLineOption(QString::fromLatin1(name)); };
    const auto valued = [](const char *name, const char *needs) {
        return QCommandLineOption(QString::fromLatin1(name), QString(), QString::fromLatin1(needs));
    };
    struct Command {
        const char *name;
        QList<QCommandLineOption> options;
        int (CommandLine::*handler)();
    };
    const Command commands[] = {
        {"list", {flag("json")}, &CommandLine::list},
        {"args", {flag("backup")}, &CommandLine::args},
        {"command", {}, &CommandLine::command},
        {"import", {flag("dry-run"), flag("json")}, &CommandLine::importConfig},
        {"test", {}, &CommandLine::test},
        {"up", {flag("verbose"), valued("attempts", "a number")}, &CommandLine::up},
        {"start", {}, &CommandLine::act},
        {"stop", {}, &CommandLine::act},
        {"toggle", {}, &CommandLine::act},
        {"status", {flag("json"), flag("follow"), valued("format", "a format (waybar)")}, &CommandLine::status},
    };
    for (const Command &c : commands) {
        if (m_command == QLatin1String(c.name))
            return parse(c.options) ? (this->*c.handler)() : 2;
    }
    return fail(QStringLiteral("unknown command %1 (see flumewire --help)").arg(printable(m_command)));
}

int CommandLine::act()
{
    return RemoteCommands(m_out, m_err, m_identity.isDevBuild()).act(m_command, m_args);
}

int CommandLine::status()
{
    if (!m_args.isEmpty())
        return fail(QStringLiteral("status takes no tunnel ids"));
    const bool waybar = m_parser.isSet(QStringLiteral("format"));
    if (waybar && m_parser.value(QStringLiteral("format")) != QLatin1String("waybar")) {
        return fail(QStringLiteral("unknown status format \"%1\" (the one format is waybar)")
                        .arg(printable(m_parser.value(QStringLiteral("format")))));
    }
    const bool json = m_parser.isSet(QStringLiteral("json"));
    if (json && waybar)
        return fail(QStringLiteral("--json and --format waybar do not go together"));
    const bool follow = m_parser.isSet(QStringLiteral("follow"));
    if (json && follow)
        return fail(QStringLiteral("--json does not go with --follow (use --format waybar for one object a line)"));
    return RemoteCommands(m_out, m_err, m_identity.isDevBuild()).status(json, follow, waybar);
}

int CommandLine::list()
{
    if (!m_args.isEmpty())
        return fail(QStringLiteral("list takes no arguments"));
    const std::optional<Store::LoadResult> loaded = loadTunnels();
    if (!loaded)
        return 2;
    if (m_parser.isSet(QStringLiteral("json"))) {
        // What the tunnels file holds: borrowed tunnels are not the build's own.
        QList<Tunnel> own;
        for (const Tunnel &t : loaded->tunnels) {
            if (!loaded->borrowedIds.contains(t.id))
                own.append(t);
        }
        m_out << safeJson(Store::encodeTunnels(own)) << Qt::endl;
        return 0;
    }
    printTunnels(loaded->tunnels);
    return 0;
}

int CommandLine::args()
{
    if (m_args.size() != 1)
        return fail(QStringLiteral("args takes one tunnel id"));
    const std::optional<Tunnel> tunnel = findTunnel(m_args.first());
    if (!tunnel)
        return 2;
    const bool backup = m_parser.isSet(QStringLiteral("backup"));
    if (backup && !tunnel->hasBackup())
        return fail(QStringLiteral("tunnel %1 has no backup server").arg(printable(tunnel->id)));
    // One argument per line: a line break inside one must not read as two.
    m_out << printable(m_options.sshProgram) << Qt::endl;
    for (const QString &arg : (backup ? tunnel->viaBackup() : *tunnel).sshArguments())
        m_out << printable(arg) << Qt::endl;
    return 0;
}

int CommandLine::command()
{
    if (m_args.size() != 1)
        return fail(QStringLiteral("command takes one tunnel id"));
    const std::optional<Tunnel> tunnel = findTunnel(m_args.first());
    if (!tunnel)
        return 2;
    m_out << printable(tunnel->displayCommand()) << Qt::endl;
    return 0;
}

int CommandLine::importConfig()
{
    const bool dryRun = m_parser.isSet(QStringLiteral("dry-run"));
    const bool json = m_parser.isSet(QStringLiteral("json"));
    if (m_args.size() > 1)
        return fail(QStringLiteral("import takes at most one file"));
    if (json && !dryRun)
        return fail(QStringLiteral("--json goes with --dry-run"));
    const QString path = m_args.isEmpty() ? QDir::homePath() + QStringLiteral("/.ssh/config") : m_args.first();
    const std::optional<QList<Tunnel>> proposals = SSHConfigImport::parseFile(path);
    if (!proposals)
        return fail(QStringLiteral("cannot read %1").arg(printable(path)));

    if (dryRun) {
        if (json)
            m_out << safeJson(Store::encodeTunnels(*proposals)) << Qt::endl;
        else
            printTunnels(*proposals);
        return 0;
    }

    const bool dev = m_identity.isDevBuild();
    InstanceLock lock(Store::folder(dev));
    if (!lock.tryLock()) {
        m_err << "flumewire: " << printable(lock.error()) << Qt::endl;
        return 1;
    }
    // Checked under the lock, so the engine below loads the same file; it would otherwise fall back to samples.
    if (!loadTunnels())
        return 2;
    // An engine created without autostart writes by the same rules as the desktop application.
    SSHManager ssh(m_options.sshProgram);
    AppStateOptions options;
    options.ssh = &ssh;
    options.dev = dev;
    options.autostart = false;
    options.seedSamples = false;
    AppState state(std::move(options));
    const int added = state.importTunnels(*proposals);
    if (!state.saveError().isEmpty()) {
        m_err << "flumewire: could not save tunnels: " << printable(state.saveError()) << Qt::endl;
        return 1;
    }
    m_out << QStringLiteral("imported %1 of %2 tunnels").arg(added).arg(proposals->size()) << Qt::endl;
    return 0;
}

int CommandLine::test()
{
    if (m_args.size() != 1)
        return fail(QStringLiteral("test takes one tunnel id"));
    const std::optional<Tunnel> tunnel = findTunnel(m_args.first());
    if (!tunnel)
        return 2;
    QEventLoop loop;
    bool passed = false;
    SSHManager::test(
        *tunnel,
        [&](bool ok, const QString &message) {
            passed = ok;
            m_out << printable(message) << Qt::endl;
            loop.quit();
        },
        m_options.sshProgram);
    loop.exec();
    return passed ? 0 : 1;
}

int CommandLine::up()
{
    // --attempts N: give up on a tunnel after N reconnect attempts; by default never.
    int attempts = 0;
    if (m_parser.isSet(QStringLiteral("attempts"))) {
        const QString value = m_parser.value(QStringLiteral("attempts"));
        bool ok = false;
        attempts = value.toInt(&ok);
        if (!ok || attempts < 1)
            return fail(QStringLiteral("--attempts takes a whole number from 1 up, not %1").arg(printable(value)));
    }
    const bool verbose = m_parser.isSet(QStringLiteral("verbose"));
    const QStringList ids = m_args;
    const bool dev = m_identity.isDevBuild();

    const std::optional<Store::LoadResult> loaded = loadTunnels();
    if (!loaded)
        return 2;
    QSet<QString> known;
    QSet<QString> requested;
    for (const Tunnel &t : loaded->tunnels) {
        known.insert(t.id);
        if (ids.isEmpty() && t.autostart)
            requested.insert(t.id);
    }
    for (const QString &id : ids) {
        if (!known.contains(id))
            return fail(QStringLiteral("no tunnel with id %1 (see flumewire list)").arg(printable(id)));
        requested.insert(id);
    }
    if (requested.isEmpty())
        return fail(QStringLiteral("no tunnel is marked to start automatically: name the tunnels to run"));

    InstanceLock lock(Store::folder(dev));
    if (!lock.tryLock()) {
        m_err << "flumewire: " << printable(lock.error()) << Qt::endl;
        return 1;
    }

    SignalWatcher watcher;
    SSHManager ssh(m_options.sshProgram);
    SystemProxy proxy(Store::folder(dev));
    proxy.recoverAfterCrash();
    AppStateOptions options;
    options.ssh = &ssh;
    options.systemProxy = &proxy;
    options.dev = dev;
    options.autostart = ids.isEmpty();
    options.sshProgram = m_options.sshProgram;
    // A keeper of tunnels: a server not reachable yet (at boot, say) is tried again with the usual back-off, and by
    // default for as long as it takes.
    options.retryBeforeFirstConnect = true;
    options.maxReconnectAttempts = attempts;
    options.seedSamples = false;
    AppState state(std::move(options));
    // start/stop/status from other terminals reach this engine over the session D-Bus, when there is one.
    BusService bus(state, dev);
    bus.publish();

    // One line per change of a tunnel's status or reason.
    QHash<QString, QPair<TunnelStatus, std::optional<QString>>> shown;
    auto report = [&](const QString &id) {
        const Tunnel *t = state.tunnel(id);
        if (!t)
            return;
        const QPair<TunnelStatus, std::optional<QString>> now{t->status, t->reason};
        const auto last = shown.constFind(id);
        if (last == shown.cend() ? t->status == TunnelStatus::Idle : *last == now)
            return;
        shown.insert(id, now);
        m_out << QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) << ' ' << printable(id) << ' '
              << textOf(t->status);
        if (t->reason)
            m_out << ": " << printable(*t->reason);
        m_out << Qt::endl;
    };
    QObject::connect(&state, &AppState::tunnelChanged, &state, report);
    if (verbose) {
        QObject::connect(&state, &AppState::logAppended, &state, [this](const QString &id, const LogLine &line) {
            m_out << line.time << ' ' << printable(id) << " | " << printable(line.text) << Qt::endl;
        });
    }

    int status = 0;
    auto finish = [&](int exitStatus) {
        status = exitStatus;
        for (const Tunnel &t : QList<Tunnel>(state.tunnels())) {
            if (t.status != TunnelStatus::Idle)
                state.stop(t.id);
        }
        ssh.stopAll();
        proxy.restoreOnQuit();
        QCoreApplication::quit();
    };
    // Once no requested tunnel will be tried again there is nothing left to keep: a failure, so that a service
    // manager's restart-on-failure can take over.
    QSet<QString> givenUp;
    QObject::connect(&state, &AppState::gaveUp, &state, [&](const QString &id) {
        if (!requested.contains(id) || givenUp.contains(id))
            return;
        givenUp.insert(id);
        m_out << QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) << ' ' << id << " gave up" << Qt::endl;
        if (givenUp.size() == requested.size()) {
            m_err << "flumewire: every tunnel has given up" << Qt::endl;
            QMetaObject::invokeMethod(
                &state, [&] { finish(1); }, Qt::QueuedConnection);
        }
    });
    for (const Tunnel &t : state.tunnels())
        report(t.id);
    for (const QString &id : ids)
        state.start(id);

    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &state,
                     [&](int) { finish(givenUp.isEmpty() ? 0 : 1); });
    QCoreApplication::exec();
    return status;
}

void CommandLine::printTunnels(const QList<Tunnel> &tunnels)
{
    for (const Tunnel &t : tunnels) {
        m_out << printable(t.id) << "  " << textOf(t.type) << "  " << printable(t.name) << "  " << printable(t.from())
              << QStringLiteral(" \u2192 ") << printable(t.to()) << Qt::endl;
    }
}
