#include "support/Require.h"
#include "support/TempHome.h"
#include "system/GnomeProxyBackend.h"
#include "system/MacProxyBackend.h"
#include "system/NoProxyBackend.h"
#include "system/SystemProxy.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The macOS tools' stand-ins (tests/support/fake-macos) in a temporary folder, with the proxy's data folder "data":
// osascript runs its command with /bin/sh after undoing the AppleScript escaping, so the quoting is proven by the
// arguments networksetup records.
class FakeMac {
public:
    explicit FakeMac(const QByteArray &serviceName = "Wi-Fi")
    {
        for (const QString name : {"scutil", "networksetup", "osascript"})
            QFile::copy(QStringLiteral(FAKE_MACOS_DIR "/") + name, path(name));
        write("global.txt", "<dictionary> {\n  PrimaryInterface : en0\n  PrimaryService : 1234:5678\n}\n");
        write("service-1234:5678.txt", "<dictionary> {\n  UserDefinedName : " + serviceName + "\n}\n");
        setSocks("No", "", "0");
    }

    MacProxyBackend::Tools tools() const { return {path("scutil"), path("networksetup"), path("osascript")}; }
    std::unique_ptr<SystemProxy> proxy() const
    {
        return std::make_unique<SystemProxy>(path("data"),
                                             [tools = tools()] { return std::make_unique<MacProxyBackend>(tools); });
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void write(const QString &name, const QByteArray &data) const { writeFile(path(name), data); }
    QByteArray read(const QString &name) const { return readFile(path(name)); }
    void setSocks(const QByteArray &enabled, const QByteArray &server, const QByteArray &port) const
    {
        write("enabled", enabled);
        write("server", server);
        write("port", port);
    }
    // "owner: enabled server port", once the proxy has done what was asked of it.
    QString settled(SystemProxy &proxy) const
    {
        proxy.waitForIdle();
        return proxy.owner() + ": " + read("enabled").trimmed() + " " + read("server") + " " + read("port");
    }

private:
    QTemporaryDir m_dir;
};

// Real gsettings with the keyfile backend in a temporary configuration folder: the proxy settings of a desktop
// session, without touching the user's own.
class Gnome {
public:
    Gnome()
    {
        m_environment.insert("GSETTINGS_BACKEND", "keyfile");
        m_environment.insert("XDG_CONFIG_HOME", m_dir.path());
    }

    std::unique_ptr<SystemProxy> proxy() const
    {
        return std::make_unique<SystemProxy>(
            m_dir.filePath("data"), [this] { return std::make_unique<GnomeProxyBackend>(m_gsettings, m_environment); });
    }
    bool available() const { return GnomeProxyBackend(m_gsettings, m_environment).isAvailable(); }
    QString run(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start(m_gsettings, arguments);
        process.waitForFinished();
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    // mode, socks host, socks port, http host, https host, ftp host.
    QStringList state() const
    {
        QStringList values;
        for (const auto &[schema, key] : keys)
            values << run({"get", schema, key});
        return values;
    }
    void setState(const QStringList &values) const
    {
        for (qsizetype i = keys.size() - 1; i >= 0; --i)
            run({"set", keys[i].first, keys[i].second, values[i]});
    }

private:
    const QList<std::pair<QString, QString>> keys{
        {"org.gnome.system.proxy", "mode"},       {"org.gnome.system.proxy.socks", "host"},
        {"org.gnome.system.proxy.socks", "port"}, {"org.gnome.system.proxy.http", "host"},
        {"org.gnome.system.proxy.https", "host"}, {"org.gnome.system.proxy.ftp", "host"}};
    QTemporaryDir m_dir;
    QString m_gsettings = QStandardPaths::findExecutable("gsettings");
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
};

} // namespace

class SystemProxyTest : public QObject {
    Q_OBJECT
private slots:
    // The proxy points at the tunnel that asked last, falls back to the latest one still up, and gives the user's
    // own setting back when the last one goes, in whichever order they go. An odd service name reaches networksetup
    // whole, through the admin prompt's script and the shell: backslashes must be doubled before quotes are escaped,
    // and nothing may be expanded.
    void tunnelsShareTheProxy()
    {
        const QByteArray name = "it's \\' both \"x\" $HOME `id`";
        FakeMac mac(name);
        const auto proxy = mac.proxy();
        proxy->enable("A", "127.0.0.1", "1080");
        QCOMPARE(mac.settled(*proxy), "A: Yes 127.0.0.1 1080");

        // A on, B on, A off, B off: A going changes nothing, B going brings the user's setting back (off, with an empty
        // Server line: only switched off, nothing else set).
        proxy->enable("B", "127.0.0.2", "1081");
        proxy->disable("A");
        proxy->disable("never-enabled");
        QCOMPARE(mac.settled(*proxy), "B: Yes 127.0.0.2 1081");
        proxy->disable("B");
        QCOMPARE(mac.settled(*proxy), ": No 127.0.0.2 1081");
        const QByteArray expected = "-setsocksfirewallproxy\n" + name + "\n127.0.0.2\n1081\n--\n" +
                                    "-setsocksfirewallproxystate\n" + name + "\non\n--\n" +
                                    "-setsocksfirewallproxystate\n" + name + "\noff\n--\n";
        QVERIFY2(mac.read("networksetup.args").endsWith(expected), mac.read("networksetup.args").constData());
        QVERIFY(proxy->restoreCmd().isEmpty() && !QFile::exists(proxy->restoreFilePath()));

        // A on, B on, B off, A off: back to A while it is up, then the user's setting (spelt their way).
        mac.setSocks("yEs", "proxy.lan", "3128");
        proxy->enable("A", "127.0.0.1", "1080");
        proxy->enable("B", "127.0.0.2", "1081");
        proxy->disable("B");
        QCOMPARE(mac.settled(*proxy), "A: Yes 127.0.0.1 1080");
        proxy->disable("A");
        QCOMPARE(mac.settled(*proxy), ": Yes proxy.lan 3128");

        // Quitting waits for the queued switches (each a slow admin prompt) and puts the prior setting back.
        mac.write("slow", "");
        const qsizetype prompts = mac.read("osascript.scripts").count("do shell script");
        proxy->enable("A", "127.0.0.1", "1080");
        proxy->restoreOnQuit();
        QCOMPARE(mac.read("osascript.scripts").count("do shell script"), prompts + 2);
        QCOMPARE(mac.settled(*proxy), ": Yes proxy.lan 3128");
    }

    // Failed switches change nothing. A run that ends without restoring (a crash) leaves a restore file, readable by
    // the user only. The next run puts back the setting from before the first switch, not the first tunnel's dead
    // proxy, but only while the system still holds what the crashed run set: a setting changed since is the user's and
    // stays. A file that is not ours is dropped without running anything.
    void failuresAndCrashesLeaveTheUserSetting()
    {
        FakeMac mac;
        QString file;
        {
            const auto proxy = mac.proxy();
            file = proxy->restoreFilePath();
            proxy->enable("A", "127.0.0.1", "1080");
            proxy->enable("B", "127.0.0.1", "1081");
            QCOMPARE(mac.settled(*proxy), "B: Yes 127.0.0.1 1081");
            // Failures (a cancelled admin prompt, no primary network service) change nothing.
            const QString restore = proxy->restoreCmd();
            mac.write("cancel", "");
            proxy->enable("C", "127.0.0.1", "1082");
            QCOMPARE(mac.settled(*proxy), "B: Yes 127.0.0.1 1081");
            QCOMPARE(proxy->restoreCmd(), restore);
            QVERIFY(QFile::remove(mac.path("cancel")));
            mac.write("global.txt", "<dictionary> {\n}\n");
            proxy->enable("C", "127.0.0.1", "1082");
            QCOMPARE(mac.settled(*proxy), "B: Yes 127.0.0.1 1081");
        }
        QCOMPARE(QFile::permissions(file), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        const QByteArray crashed = readFile(file);
        const auto recover = [&] {
            mac.proxy()->recoverAfterCrash(); // the proxy's end waits for the queued work
            return mac.settled(*mac.proxy()) + (QFile::exists(file) ? " (file left)" : "");
        };
        QCOMPARE(recover(), ": No 127.0.0.1 1081");

        writeFile(file, crashed);
        mac.setSocks("Yes", "their.proxy", "9050");
        QCOMPARE(recover(), ": Yes their.proxy 9050");

        const QByteArray scripts = mac.read("osascript.scripts");
        writeFile(file, R"({"backend":"macos","prior":{"service":1}})");
        QCOMPARE(recover(), ": Yes their.proxy 9050");
        QCOMPARE(mac.read("osascript.scripts"), scripts);

        // No tool, or no backend for this system: nothing is switched.
        MacProxyBackend::Tools gone = mac.tools();
        gone.osascript = mac.path("no-such-osascript");
        QVERIFY(!MacProxyBackend(gone).runAdmin("true"));
        SystemProxy nothing(mac.path("data"), [] { return std::make_unique<NoProxyBackend>(); });
        nothing.enable("A", "127.0.0.1", "1080");
        nothing.waitForIdle();
        QCOMPARE(nothing.owner(), QString());
    }

    // Bad ports are refused; a switch sets exactly what it needs and puts exactly that back, at quit, when the
    // tunnel goes, and after a crash (unless the user changed the setting since).
    void gnomeSwitchesAndPutsBackExactly()
    {
        Gnome gnome;
        REQUIRE_OR_SKIP(gnome.available(),
                        "gsettings and the org.gnome.system.proxy schema (libglib2.0-bin gsettings-desktop-schemas)");
        const QStringList prior = {"'none'", "'old.example'", "9050", "'stale.example'", "''", "'ftp.example'"};
        gnome.setState(prior);
        const QStringList manual = {"'manual'", "''", "0", "'corp.example'", "'corp.example'", "''"};
        QString file;
        {
            const auto proxy = gnome.proxy();
            file = proxy->restoreFilePath();
            for (const QString port : {"abc", "70000", "1 2", "int32 5", ""})
                proxy->enable("A", "127.0.0.1", port);
            proxy->waitForIdle();
            QCOMPARE(proxy->owner() + gnome.state().join(" "), prior.join(" "));
            proxy->enable("A", "127.0.0.1", "1080");
            proxy->waitForIdle();
            QCOMPARE(proxy->owner() + " " + gnome.state().join(" "), "A 'manual' '127.0.0.1' 1080 '' '' ''");
            proxy->restoreOnQuit();
            QCOMPARE(proxy->owner() + gnome.state().join(" "), prior.join(" "));

            // A manual setting keeps its other proxies; a host with quotes survives the GVariant text.
            gnome.setState(manual);
            proxy->enable("A", "it's \"odd\"", "1080");
            proxy->waitForIdle();
            QCOMPARE(gnome.state().mid(1, 3), QStringList({"\"it's \\\"odd\\\"\"", "1080", "'corp.example'"}));
            proxy->disable("A");
            proxy->waitForIdle();
            QCOMPARE(gnome.state(), manual);
            // Ends switched, without restoreOnQuit, as a crash would.
            proxy->enable("A", "127.0.0.1", "1080");
        }
        const QByteArray crashed = readFile(file);
        const auto recover = [&] {
            gnome.proxy()->recoverAfterCrash(); // the proxy's end waits for the queued work
            return gnome.state().join(" ") + (QFile::exists(file) ? " (file left)" : "");
        };
        gnome.run({"set", "org.gnome.system.proxy.socks", "port", "9050"});
        QCOMPARE(recover(), "'manual' '127.0.0.1' 9050 'corp.example' 'corp.example' ''");
        writeFile(file, crashed);
        gnome.run({"set", "org.gnome.system.proxy.socks", "port", "1080"});
        QCOMPARE(recover(), manual.join(" "));

#ifdef Q_OS_LINUX
        // The keyfile environment makes the choice independent of a running session.
        qputenv("GSETTINGS_BACKEND", "keyfile");
        QCOMPARE(ProxyBackend::forThisSystem()->name(), QStringLiteral("gnome"));
        qunsetenv("GSETTINGS_BACKEND");
        QVERIFY(!GnomeProxyBackend(QString()).isAvailable());
#endif
    }
};

QTEST_GUILESS_MAIN(SystemProxyTest)
#include "tst_SystemProxy.moc"
