#include "model/Store.h"
#include "support/FakeSsh.h"
#include "support/FlumewireProcess.h"
#include "support/FreePort.h"
#include "support/PrivateBus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

using Run = FlumewireRun;

QJsonObject parseObject(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// Each tunnel's "status[: reason]" as `status --json` lists it.
using States = QHash<QString, QString>;

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

const QString notRunning = "flumewire: Flumewire is not running; start it or use `flumewire up`\n";

Tunnel local(const QString &id, const QString &name, const QString &user, const std::optional<QString> &group = {})
{
    Tunnel t;
    t.id = id;
    t.name = name;
    t.host = t.targetHost = "127.0.0.1";
    t.user = user;
    t.bindPort = QString::number(freePort());
    t.targetPort = "9";
    t.groupId = group;
    return t;
}

} // namespace

class RemoteCommandsTest : public QObject {
    Q_OBJECT
private:
    TempHome m_home;
    FakeSsh m_ssh;
    PrivateBus m_bus;
    QProcessEnvironment m_env;

private slots:
    void initTestCase()
    {
        REQUIRE_OR_SKIP(PrivateBus::available(), "dbus-daemon");
        QVERIFY2(m_bus.start(), qPrintable(m_bus.error()));
        // A forward to user "refused" is refused by its server; every other one listens until stopped.
        const QString ssh = m_ssh.write(
            "case \"$*\" in\n"
            "*refused@*) printf 'ssh: connect to host 127.0.0.1 port 22: Connection refused\\n'; exit 255;;\n"
            "esac\n"
            "printf 'debug1: Local forwarding listening on 127.0.0.1 port 1.\\n'\n"
            "printf 'debug1: Entering interactive session.\\n'\n"
            "exec sleep 600");
        QVERIFY(Store::save({local("db", "DB", "deploy"), local("web", "A&B <web>", "deploy", "g1"),
                             local("api", "API", "refused", "g1")},
                            true));
        QVERIFY(Store::saveGroups({{"g1", "Web", 0}}, true));
        m_env = FlumewireProcess::environment(m_home, ssh);
        m_env.insert("DBUS_SESSION_BUS_ADDRESS", m_bus.address());
        m_env.insert("QT_QPA_PLATFORM", "offscreen");
    }

    void drivenFromTheCommandLine()
    {
        // A status bar started before Flumewire shows the saved tunnels, then the instance once it runs.
        FlumewireProcess bar({"status", "--follow", "--format", "waybar"}, m_env);
        QTRY_VERIFY_WITH_TIMEOUT(!bar.out.isEmpty(), 20000);
        QVERIFY(parseObject(bar.lastLine())["tooltip"].toString().startsWith("Flumewire is not running\nDB: idle\n"));

        // One attempt: a refused tunnel then settles on ssh's own reason instead of counting its retries for ever.
        FlumewireProcess up({"up", "--attempts", "1", "db"}, m_env);
        QTRY_VERIFY_WITH_TIMEOUT(up.out.contains(" db connected\n"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(parseObject(bar.lastLine())["text"].toString(), QStringLiteral("\u21c4 1"), 20000);
        FlumewireProcess lines({"status", "--follow"}, m_env);

        const Run status({"status", "--json"}, m_env);
        QVERIFY(status.status == 0 && parseObject(status.out)["running"].toBool());
        QCOMPARE(parseObject(status.out)["tunnels"].toArray()[1].toObject(), QJsonObject({{"id", "web"},
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
        QVERIFY(up.out.count(" web connecting\n") == 1 && up.out.count(" db connecting\n") == 1);
        QCOMPARE(jsonStates(Run({"status", "--json"}, m_env).out),
                 (States{{"db", "connected"}, {"web", "connected"}, {"api", "failed: Connection refused"}}));
        QTRY_VERIFY_WITH_TIMEOUT(lines.out.contains(" api failed: Connection refused\n"), 20000);
        // Waybar reads Pango markup: a name's own angle brackets and ampersands are escaped.
        const QJsonObject failed{
            {"text", "\u21c4 2"},
            {"class", "failed"},
            {"alt", "failed"},
            {"tooltip", "DB: connected\nA&amp;B &lt;web&gt;: connected\nAPI: failed (Connection refused)"}};
        QTRY_COMPARE_WITH_TIMEOUT(parseObject(bar.lastLine()), failed, 20000);

        // An unknown id is reported by name; the known ones are still acted on.
        const qsizetype printed = up.out.size();
        const Run stop({"stop", "db", "nope", "g1"}, m_env);
        QCOMPARE(stop.status, 1);
        QCOMPARE(stop.err, QStringLiteral("flumewire: nope: no tunnel or group with id nope\n"));
        QTRY_COMPARE_WITH_TIMEOUT(up.out.mid(printed).count(" idle\n"), 3, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(parseObject(bar.lastLine())["class"].toString(), QStringLiteral("idle"), 20000);

        QCOMPARE(Run({"toggle", "db"}, m_env).status, 0);
        QTRY_COMPARE_WITH_TIMEOUT(lines.out.count(" db connected\n"), 2, 20000);

        // When the instance ends, followers say its tunnels are down and wait for the next one.
        QVERIFY(up.stop());
        QTRY_COMPARE_WITH_TIMEOUT(lines.out.count(" db idle\n"), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(
            parseObject(bar.lastLine())["tooltip"].toString().startsWith("Flumewire is not running"), 20000);
        QCOMPARE(lines.state(), QProcess::Running);
        QCOMPARE(Run({"start", "db"}, m_env).status, 3);
    }

    void trayAppAnswers()
    {
#ifndef FLUMEWIRE_TRAY_BUILT
        QSKIP("built without the desktop interface: there is no tray program");
#endif
        FlumewireProcess tray({}, m_env);
        // Until the tray program has taken its name on the bus, the verb finds no instance (3).
        QTRY_COMPARE_WITH_TIMEOUT(Run({"start", "db"}, m_env).status, 0, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(jsonStates(Run({"status", "--json"}, m_env).out)["db"], QStringLiteral("connected"),
                                  20000);
        QVERIFY(tray.stop());
    }

    void withoutAnInstanceOrABus()
    {
        QProcessEnvironment env = m_env;
        const Run status({"status"}, env);
        QVERIFY(status.status == 0 && status.err.contains("not running"));
        QCOMPARE(status.out, QStringLiteral("db  idle\nweb  idle\napi  idle\n"));
        const Run json({"status", "--json"}, env);
        QCOMPARE(parseObject(json.out)["running"], QJsonValue(false));
        QCOMPARE(jsonStates(json.out), (States{{"db", "idle"}, {"web", "idle"}, {"api", "idle"}}));
        // Switching needs the instance (3, "not running"); usage errors say so in one line (2).
        const QList<std::pair<QStringList, int>> verbs{{{"stop", "db"}, 3},   {{"toggle", "g1"}, 3},
                                                       {{"start"}, 2},        {{"status", "--format", "xml"}, 2},
                                                       {{"status", "db"}, 2}, {{"stop", "--all"}, 2}};
        for (const auto &[args, code] : verbs) {
            const Run r(args, env);
            QVERIFY2(r.status == code && (code == 3 ? r.err == notRunning : r.err.count('\n') == 1),
                     qPrintable(args.join(' ') + ": " + r.err));
        }

        // Without a session bus the verbs cannot reach anything, and `up` runs its tunnels all the same.
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_home.path() + "/no-bus");
        const Run start({"start", "db"}, env);
        QVERIFY2(start.status == 3 && start.err.startsWith(notRunning.trimmed()), qPrintable(start.err));
        QCOMPARE(Run({"status", "--follow"}, env).status, 3);
        FlumewireProcess up({"up", "db"}, env);
        QTRY_VERIFY_WITH_TIMEOUT(up.out.contains(" db connected\n"), 20000);
        QVERIFY(up.stop());
    }
};

QTEST_GUILESS_MAIN(RemoteCommandsTest)
#include "tst_RemoteCommands.moc"
