#include "model/Store.h"
#include "support/FakeSsh.h"
#include "support/FreePort.h"
#include "support/PrivateBus.h"
#include "support/TempHome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

struct Result {
    int status = -1;
    QString out;
    QString err;
};

// One flumewire process that keeps running (`up`, a follower), its output gathered as it comes.
struct Running {
    QProcess process;
    QString out;
    QString err;

    Running(const QStringList &args, const QProcessEnvironment &env)
    {
        process.setProcessEnvironment(env);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, &process,
                         [this] { out += QString::fromUtf8(process.readAllStandardOutput()); });
        QObject::connect(&process, &QProcess::readyReadStandardError, &process,
                         [this] { err += QString::fromUtf8(process.readAllStandardError()); });
        process.start(QStringLiteral(FLUMEWIRE_BINARY), args);
    }
    ~Running()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    QString lastLine() const { return out.trimmed().split('\n').last(); }
    // Ends the process the way a service manager or Ctrl-C does; true when it exited 0.
    bool stop()
    {
        process.terminate();
        return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }
};

Result run(const QStringList &args, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(FLUMEWIRE_BINARY), args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QJsonObject parseObject(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// The status and reason of each tunnel as `up` last printed them ("HH:mm:ss ID STATUS[: REASON]").
using States = QHash<QString, QString>;

States lastUpStates(const QString &out)
{
    States states;
    for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(' ');
        if (parts.size() >= 3 && parts[1] != "|")
            states.insert(parts[1], line.section(' ', 2));
    }
    return states;
}

States jsonStates(const QJsonObject &status)
{
    States states;
    for (const QJsonValue &v : status["tunnels"].toArray()) {
        const QJsonObject t = v.toObject();
        QString state = t["status"].toString();
        if (t.contains("reason"))
            state += ": " + t["reason"].toString();
        states.insert(t["id"].toString(), state);
    }
    return states;
}

const States allIdle{{"db", "idle"}, {"web", "idle"}, {"api", "idle"}};

const QString notRunning = "flumewire: Flumewire is not running; start it or use `flumewire up`";

} // namespace

class RemoteCommandsTest : public QObject {
    Q_OBJECT
private:
    TempHome m_home;
    FakeSsh m_ssh;
    PrivateBus m_bus;

    QProcessEnvironment environment(const QString &busAddress) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", m_home.dataHome());
        env.insert("XDG_CONFIG_HOME", m_home.configHome());
        env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        env.insert("FLUMEWIRE_SSH", m_ssh.dir() + "/ssh");
        return env;
    }

    static Tunnel local(const QString &id, const QString &name, const QString &user)
    {
        Tunnel t;
        t.id = id;
        t.name = name;
        t.host = "127.0.0.1";
        t.user = user;
        t.bindPort = QString::number(freePort());
        t.targetHost = "127.0.0.1";
        t.targetPort = "9";
        return t;
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) {
            if (qEnvironmentVariable("CI") == QLatin1String("true"))
                QFAIL("dbus-daemon is missing: install it (tools/packages.sh lists it)");
            QSKIP("dbus-daemon is missing");
        }
        QVERIFY(m_bus.start());
        // A forward to user "refused" is refused by its server; every other one listens until stopped.
        m_ssh.write("case \"$*\" in\n"
                    "*refused@*) printf 'ssh: connect to host 127.0.0.1 port 22: Connection refused\\n'; exit 255;;\n"
                    "esac\n"
                    "printf 'debug1: Local forwarding listening on 127.0.0.1 port 1.\\n'\n"
                    "printf 'debug1: Entering interactive session.\\n'\n"
                    "exec sleep 600");
        Tunnel web = local("web", "A&B <web>", "deploy");
        web.groupId = "g1";
        Tunnel api = local("api", "API", "refused");
        api.groupId = "g1";
        QVERIFY(Store::save({local("db", "DB", "deploy"), web, api}, true));
        QVERIFY(Store::saveGroups({{"g1", "Web", 0}}, true));
    }

    void drivenFromTheCommandLine()
    {
        const QProcessEnvironment env = environment(m_bus.address());

        // A status bar started before Flumewire shows the saved tunnels, then the instance once it runs.
        Running bar({"status", "--follow", "--format", "waybar"}, env);
        QTRY_VERIFY_WITH_TIMEOUT(!bar.out.isEmpty(), 20000);
        QJsonObject shown = parseObject(bar.lastLine());
        QCOMPARE(shown["class"].toString(), QStringLiteral("idle"));
        QVERIFY(shown["tooltip"].toString().startsWith("Flumewire is not running\nDB: idle\n"));

        // One attempt: a refused tunnel then settles on ssh's own reason instead of counting its retries for ever.
        Running up({"up", "--attempts", "1", "db"}, env);
        QTRY_VERIFY_WITH_TIMEOUT(up.out.contains(" db connected\n"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(parseObject(bar.lastLine())["class"].toString(), QStringLiteral("connected"), 20000);
        QCOMPARE(parseObject(bar.lastLine())["text"].toString(), QStringLiteral("\u21c4 1"));

        Running lines({"status", "--follow"}, env);
        QTRY_VERIFY_WITH_TIMEOUT(lines.out.contains(" db connected\n"), 20000);

        Result r = run({"status", "--json"}, env);
        QCOMPARE(r.status, 0);
        QJsonObject status = parseObject(r.out);
        QCOMPARE(status["running"].toBool(), true);
        const QJsonArray listed = status["tunnels"].toArray();
        QCOMPARE(listed.size(), 3);
        QCOMPARE(listed[1].toObject(), QJsonObject({{"id", "web"},
                                                    {"name", "A&B <web>"},
                                                    {"type", "L"},
                                                    {"groupId", "g1"},
                                                    {"group", "Web"},
                                                    {"status", "idle"}}));
        QCOMPARE(jsonStates(status), (States{{"db", "connected"}, {"web", "idle"}, {"api", "idle"}}));

        QCOMPARE(run({"start", "web"}, env).status, 0);
        QTRY_VERIFY_WITH_TIMEOUT(up.out.contains(" web connected\n"), 20000);
        // Starting what runs already changes nothing; the group's switch then starts only the member that is off.
        QCOMPARE(run({"start", "web", "db"}, env).status, 0);
        QCOMPARE(run({"toggle", "g1"}, env).status, 0);
        QTRY_VERIFY_WITH_TIMEOUT(up.out.contains(" api failed: Connection refused\n"), 20000);
        QCOMPARE(up.out.count(" web connecting\n"), 1);
        QCOMPARE(up.out.count(" db connecting\n"), 1);

        r = run({"status", "--json"}, env);
        QCOMPARE(jsonStates(parseObject(r.out)), lastUpStates(up.out));
        QCOMPARE(lastUpStates(up.out)["api"], QStringLiteral("failed: Connection refused"));
        QTRY_VERIFY_WITH_TIMEOUT(lines.out.contains(" api failed: Connection refused\n"), 20000);
        QVERIFY(lines.out.contains(" web connected\n"));
        QTRY_COMPARE_WITH_TIMEOUT(parseObject(bar.lastLine())["class"].toString(), QStringLiteral("failed"), 20000);
        shown = parseObject(bar.lastLine());
        QCOMPARE(shown["text"].toString(), QStringLiteral("\u21c4 2"));
        // Waybar reads Pango markup: a name's own angle brackets and ampersands are escaped.
        QCOMPARE(shown["tooltip"].toString(), QStringLiteral("DB: connected\nA&amp;B &lt;web&gt;: connected\n"
                                                             "API: failed (Connection refused)"));

        // An unknown id is reported by name; the known ones are still acted on.
        r = run({"stop", "db", "nope", "g1"}, env);
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QStringLiteral("flumewire: nope: no tunnel or group with id nope\n"));
        QTRY_COMPARE_WITH_TIMEOUT(lastUpStates(up.out), allIdle, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(lines.out.contains(" db idle\n"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(parseObject(bar.lastLine())["class"].toString(), QStringLiteral("idle"), 20000);

        QCOMPARE(run({"toggle", "db"}, env).status, 0);
        QTRY_COMPARE_WITH_TIMEOUT(up.out.count(" db connected\n"), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(lines.out.count(" db connected\n"), 2, 20000);

        // When the instance ends, followers say its tunnels are down and wait for the next one.
        QVERIFY(up.stop());
        QTRY_COMPARE_WITH_TIMEOUT(lines.out.count(" db idle\n"), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(
            parseObject(bar.lastLine())["tooltip"].toString().startsWith("Flumewire is not running"), 20000);
        QCOMPARE(lines.process.state(), QProcess::Running);

        r = run({"start", "db"}, env);
        QCOMPARE(r.status, 3);
        QCOMPARE(r.err, notRunning + "\n");
    }

    void trayAppAnswers()
    {
        QProcessEnvironment env = environment(m_bus.address());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("FLUMEWIRE_LOG_STDERR", "1");
        Running tray({}, env);
        QTRY_VERIFY_WITH_TIMEOUT(tray.err.contains("listening on the session D-Bus"), 20000);
        QCOMPARE(run({"start", "db"}, env).status, 0);
        QTRY_VERIFY_WITH_TIMEOUT(tray.err.contains("connected db"), 20000);
        QCOMPARE(jsonStates(parseObject(run({"status", "--json"}, env).out))["db"], QStringLiteral("connected"));
        QVERIFY(tray.stop());
        QCOMPARE(run({"stop", "db"}, env).status, 3);
    }

    void withoutAnInstanceOrABus()
    {
        QProcessEnvironment env = environment(m_bus.address());
        Result r = run({"status"}, env);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("db  idle\nweb  idle\napi  idle\n"));
        QVERIFY(r.err.contains("not running"));
        r = run({"status", "--json"}, env);
        QCOMPARE(parseObject(r.out)["running"].toBool(), false);
        QCOMPARE(jsonStates(parseObject(r.out)), allIdle);
        for (const QStringList &args : QList<QStringList>{{"stop", "db"}, {"toggle", "g1"}}) {
            r = run(args, env);
            QCOMPARE(r.status, 3);
            QCOMPARE(r.err, notRunning + "\n");
        }
        for (const QStringList &args :
             QList<QStringList>{{"start"}, {"status", "--format", "xml"}, {"status", "db"}, {"stop", "--all"}}) {
            r = run(args, env);
            QVERIFY2(r.status == 2, qPrintable(args.join(' ')));
            QCOMPARE(r.err.count('\n'), 1);
        }

        // Without a session bus the verbs cannot reach anything, and `up` runs its tunnels all the same.
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_home.path() + "/no-bus");
        env.insert("FLUMEWIRE_LOG_STDERR", "1");
        r = run({"start", "db"}, env);
        QCOMPARE(r.status, 3);
        QVERIFY(r.err.startsWith(notRunning));
        QCOMPARE(run({"status", "--follow"}, env).status, 3);

        Running up({"up", "db"}, env);
        QTRY_VERIFY_WITH_TIMEOUT(up.out.contains(" db connected\n"), 20000);
        QCOMPARE(up.err.count("no session D-Bus"), 1);
        QVERIFY(up.stop());
    }
};

QTEST_GUILESS_MAIN(RemoteCommandsTest)
#include "tst_RemoteCommands.moc"
