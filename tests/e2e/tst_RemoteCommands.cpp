#include "app/BusService.h"
#include "model/Store.h"
#include "support/FakeSsh.h"
#include "support/FlumewireProcess.h"
#include "support/FreePort.h"
#include "support/PrivateBus.h"
#include "support/TempHome.h"

#include <QDBusConnectionInterface>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

// A verb run to its end.
struct Run : FlumewireProcess {
    int status;
    Run(const QStringList &args, const QProcessEnvironment &env) : FlumewireProcess(args, env), status(finish()) {}
};

QJsonObject parseObject(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// Each tunnel's "status[: reason]", as `up` last printed it ("HH:mm:ss ID STATUS[: REASON]") or as `status --json`
// lists it.
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

States jsonStates(const QString &out)
{
    States states;
    for (const QJsonValue &v : parseObject(out)["tunnels"].toArray()) {
        const QJsonObject t = v.toObject();
        states.insert(t["id"].toString(),
                      t["status"].toString() + (t.contains("reason") ? ": " + t["reason"].toString() : QString()));
    }
    return states;
}

const States allIdle{{"db", "idle"}, {"web", "idle"}, {"api", "idle"}};

const QString notRunning = "flumewire: Flumewire is not running; start it or use `flumewire up`\n";

} // namespace

class RemoteCommandsTest : public QObject {
    Q_OBJECT
private:
    TempHome m_home;
    FakeSsh m_ssh;
    PrivateBus m_bus;
    QProcessEnvironment m_env;

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
        REQUIRE_OR_SKIP(PrivateBus::available(), "dbus-daemon");
        QVERIFY2(m_bus.start(), qPrintable(m_bus.error()));
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
        m_env = FlumewireProcess::environment(m_home);
        m_env.insert("DBUS_SESSION_BUS_ADDRESS", m_bus.address());
        m_env.insert("FLUMEWIRE_SSH", m_ssh.dir() + "/ssh");
    }

    void drivenFromTheCommandLine()
    {
        // A status bar started before Flumewire shows the saved tunnels, then the instance once it runs.
        FlumewireProcess bar({"status", "--follow", "--format", "waybar"}, m_env);
        QTRY_VERIFY_WITH_TIMEOUT(!bar.out.isEmpty(), 20000);
        QCOMPARE(parseObject(bar.lastLine())["class"].toString(), QStringLiteral("idle"));
        QVERIFY(parseObject(bar.lastLine())["tooltip"].toString().startsWith("Flumewire is not running\nDB: idle\n"));

        // One attempt: a refused tunnel then settles on ssh's own reason instead of counting its retries for ever.
        FlumewireProcess up({"up", "--attempts", "1", "db"}, m_env);
        QTRY_VERIFY_WITH_TIMEOUT(up.out.contains(" db connected\n"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(parseObject(bar.lastLine())["text"].toString(), QStringLiteral("\u21c4 1"), 20000);
        FlumewireProcess lines({"status", "--follow"}, m_env);
        QTRY_VERIFY_WITH_TIMEOUT(lines.out.contains(" db connected\n"), 20000);

        Run status({"status", "--json"}, m_env);
        QCOMPARE(status.status, 0);
        QCOMPARE(parseObject(status.out)["running"].toBool(), true);
        const QJsonArray listed = parseObject(status.out)["tunnels"].toArray();
        QCOMPARE(listed.size(), 3);
        QCOMPARE(listed[1].toObject(), QJsonObject({{"id", "web"},
                                                    {"name", "A&B <web>"},
                                                    {"type", "L"},
                                                    {"groupId", "g1"},
                                                    {"group", "Web"},
                                                    {"status", "idle"}}));
        QCOMPARE(jsonStates(status.out), (States{{"db", "connected"}, {"web", "idle"}, {"api", "idle"}}));

        // Starting what runs already changes nothing; the group's switch then starts only the member that is off.
        QCOMPARE(Run({"start", "web"}, m_env).status, 0);
        QTRY_VERIFY_WITH_TIMEOUT(up.out.contains(" web connected\n"), 20000);
        QCOMPARE(Run({"start", "web", "db"}, m_env).status, 0);
        QCOMPARE(Run({"toggle", "g1"}, m_env).status, 0);
        QTRY_VERIFY_WITH_TIMEOUT(up.out.contains(" api failed: Connection refused\n"), 20000);
        QCOMPARE(up.out.count(" web connecting\n"), 1);
        QCOMPARE(up.out.count(" db connecting\n"), 1);
        QCOMPARE(jsonStates(Run({"status", "--json"}, m_env).out), lastUpStates(up.out));
        QCOMPARE(lastUpStates(up.out)["api"], QStringLiteral("failed: Connection refused"));
        QTRY_VERIFY_WITH_TIMEOUT(lines.out.contains(" api failed: Connection refused\n"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(parseObject(bar.lastLine())["class"].toString(), QStringLiteral("failed"), 20000);
        QCOMPARE(parseObject(bar.lastLine())["text"].toString(), QStringLiteral("\u21c4 2"));
        // Waybar reads Pango markup: a name's own angle brackets and ampersands are escaped.
        QCOMPARE(parseObject(bar.lastLine())["tooltip"].toString(),
                 QStringLiteral("DB: connected\nA&amp;B &lt;web&gt;: connected\nAPI: failed (Connection refused)"));

        // An unknown id is reported by name; the known ones are still acted on.
        Run stop({"stop", "db", "nope", "g1"}, m_env);
        QCOMPARE(stop.status, 1);
        QCOMPARE(stop.err, QStringLiteral("flumewire: nope: no tunnel or group with id nope\n"));
        QTRY_COMPARE_WITH_TIMEOUT(lastUpStates(up.out), allIdle, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(lines.out.contains(" db idle\n"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(parseObject(bar.lastLine())["class"].toString(), QStringLiteral("idle"), 20000);

        QCOMPARE(Run({"toggle", "db"}, m_env).status, 0);
        QTRY_COMPARE_WITH_TIMEOUT(lines.out.count(" db connected\n"), 2, 20000);

        // When the instance ends, followers say its tunnels are down and wait for the next one.
        QVERIFY(up.stop());
        QTRY_COMPARE_WITH_TIMEOUT(lines.out.count(" db idle\n"), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(
            parseObject(bar.lastLine())["tooltip"].toString().startsWith("Flumewire is not running"), 20000);
        QCOMPARE(lines.state(), QProcess::Running);
        Run start({"start", "db"}, m_env);
        QCOMPARE(start.status, 3);
        QCOMPARE(start.err, notRunning);
    }

    void trayAppAnswers()
    {
#ifndef FLUMEWIRE_TRAY_BUILT
        QSKIP("built without the desktop interface: there is no tray program");
#endif
        QProcessEnvironment env = m_env;
        env.insert("QT_QPA_PLATFORM", "offscreen");
        FlumewireProcess tray({}, env);
        const QDBusConnection bus = m_bus.connect(QStringLiteral("observer"));
        QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered(BusService::serviceName(true)), 20000);
        QCOMPARE(Run({"start", "db"}, env).status, 0);
        QTRY_COMPARE_WITH_TIMEOUT(jsonStates(Run({"status", "--json"}, env).out)["db"], QStringLiteral("connected"),
                                  20000);
        QVERIFY(tray.stop());
        QCOMPARE(Run({"stop", "db"}, env).status, 3);
    }

    void withoutAnInstanceOrABus()
    {
        QProcessEnvironment env = m_env;
        Run status({"status"}, env);
        QCOMPARE(status.status, 0);
        QCOMPARE(status.out, QStringLiteral("db  idle\nweb  idle\napi  idle\n"));
        QVERIFY(status.err.contains("not running"));
        Run json({"status", "--json"}, env);
        QCOMPARE(parseObject(json.out)["running"].toBool(), false);
        QCOMPARE(jsonStates(json.out), allIdle);
        for (const QStringList &args : QList<QStringList>{{"stop", "db"}, {"toggle", "g1"}}) {
            Run r(args, env);
            QCOMPARE(r.status, 3);
            QCOMPARE(r.err, notRunning);
        }
        for (const QStringList &args :
             QList<QStringList>{{"start"}, {"status", "--format", "xml"}, {"status", "db"}, {"stop", "--all"}}) {
            Run r(args, env);
            QVERIFY2(r.status == 2, qPrintable(args.join(' ')));
            QCOMPARE(r.err.count('\n'), 1);
        }

        // Without a session bus the verbs cannot reach anything, and `up` runs its tunnels all the same.
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_home.path() + "/no-bus");
        Run start({"start", "db"}, env);
        QCOMPARE(start.status, 3);
        QVERIFY2(start.err.startsWith(notRunning.trimmed()), qPrintable(start.err));
        QCOMPARE(Run({"status", "--follow"}, env).status, 3);
        FlumewireProcess up({"up", "db"}, env);
        QTRY_VERIFY_WITH_TIMEOUT(up.out.contains(" db connected\n"), 20000);
        QVERIFY(up.stop());
    }
};

QTEST_GUILESS_MAIN(RemoteCommandsTest)
#include "tst_RemoteCommands.moc"
