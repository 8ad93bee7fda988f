#include "system/MacProxyBackend.h"
#include "system/NoProxyBackend.h"
#include "system/SystemProxy.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

// The macOS tools' stand-ins (tests/support/fake-macos) in a temporary folder: networksetup keeps one service's SOCKS
// setting in three files and records every argument list; scutil answers from files and records its input;
// osascript records its script, fails when asked to (a cancelled prompt), and otherwise undoes the AppleScript
// escaping and runs the command with /bin/sh, so the quoting is proven by what networksetup finally receives.
class FakeMac {
public:
    FakeMac(const QByteArray &serviceName = "Wi-Fi")
    {
        for (const QString name : {"scutil", "networksetup", "osascript"}) {
            QFile::copy(QStringLiteral(FAKE_MACOS_DIR "/") + name, path(name));
            QFile::setPermissions(path(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        write("global.txt", "<dictionary> {\n  PrimaryInterface : en0\n  PrimaryService : 1234:5678\n}\n");
        write("service-1234:5678.txt", "<dictionary> {\n  UserDefinedName : " + serviceName + "\n}\n");
        setSocks("No", "", "0");
    }

    MacProxyBackend::Tools tools() const { return {path("scutil"), path("networksetup"), path("osascript")}; }
    SystemProxy::BackendFactory factory() const
    {
        return [tools = tools()] { return std::make_unique<MacProxyBackend>(tools); };
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void write(const QString &name, const QByteArray &data) const
    {
        QFile f(path(name));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(data);
    }
    QByteArray read(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void setSocks(const QByteArray &enabled, const QByteArray &server, const QByteArray &port) const
    {
        write("enabled", enabled);
        write("server", server);
        write("port", port);
    }
    // (enabled, server, port) as the system holds them now.
    QStringList socks() const
    {
        return {QString::fromUtf8(read("enabled")).trimmed(), QString::fromUtf8(read("server")),
                QString::fromUtf8(read("port"))};
    }

private:
    QTemporaryDir m_dir;
};

} // namespace

class SystemProxyTest : public QObject {
    Q_OBJECT
private slots:
    void quotingReachesTheTool()
    {
        // The shell quoting survives /bin/sh unchanged, whatever the value holds.
        for (const QString value : {"Lab's LAN", "back\\slash", "it's \\' both \"x\" $HOME `id`", ""}) {
            QProcess sh;
            sh.start("/bin/sh", {"-c", "printf %s " + ProxyBackend::shellQuote(value)});
            QVERIFY(sh.waitForFinished());
            QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()), value);
        }
        // Backslashes are doubled before quotes are escaped, so an escaped quote is not escaped twice.
        QCOMPARE(MacProxyBackend::appleScriptEscape("a\\\"b"), QStringLiteral("a\\\\\\\"b"));

        // Odd service names reach networksetup whole, through the admin prompt's script and the shell.
        for (const QByteArray name : {"Lab's LAN", "back\\slash \"LAN\""}) {
            FakeMac mac(name);
            QTemporaryDir data;
            SystemProxy proxy(data.path(), mac.factory());
            proxy.enable("A", "127.0.0.1", "1080");
            proxy.restoreOnQuit();
            const QByteArray expected = "-setsocksfirewallproxy\n" + name + "\n127.0.0.1\n1080\n--\n" +
                                        "-setsocksfirewallproxystate\n" + name + "\non\n--\n" +
                                        "-setsocksfirewallproxystate\n" + name + "\noff\n--\n";
            QVERIFY2(mac.read("networksetup.args").endsWith(expected), mac.read("networksetup.args").constData());
            // The service id with a colon in it was looked up whole.
            QVERIFY(mac.read("scutil.in").contains("show Setup:/Network/Service/1234:5678\nquit\n"));
        }
    }

    // The proxy points at the tunnel that asked last, falls back to the latest one still up, and gives the user's
    // own setting back when the last one goes, in whichever order they go.
    void tunnelsShareTheProxy()
    {
        FakeMac mac;
        QTemporaryDir data;
        SystemProxy proxy(data.path(), mac.factory());
        proxy.enable("A", "127.0.0.1", "1080");
        proxy.waitForIdle();
        QCOMPARE(proxy.owner(), QStringLiteral("A"));
        QCOMPARE(mac.socks(), QStringList({"Yes", "127.0.0.1", "1080"}));

        // A on, B on, A off, B off: A going changes nothing, B going brings the user's setting back.
        proxy.enable("B", "127.0.0.2", "1081");
        proxy.disable("A");
        proxy.disable("never-enabled");
        proxy.waitForIdle();
        QCOMPARE(proxy.owner(), QStringLiteral("B"));
        QCOMPARE(mac.socks(), QStringList({"Yes", "127.0.0.2", "1081"}));
        proxy.disable("B");
        proxy.waitForIdle();
        QCOMPARE(proxy.owner(), QString());
        QCOMPARE(proxy.restoreCmd(), QString());
        QCOMPARE(mac.socks().first(), QStringLiteral("No"));
        QVERIFY(!QFile::exists(proxy.restoreFilePath()));

        // A on, B on, B off, A off: back to A while it is up, then the user's setting (spelt their way).
        mac.setSocks("yEs", "proxy.lan", "3128");
        proxy.enable("A", "127.0.0.1", "1080");
        proxy.enable("B", "127.0.0.2", "1081");
        proxy.disable("B");
        proxy.waitForIdle();
        QCOMPARE(proxy.owner(), QStringLiteral("A"));
        QCOMPARE(mac.socks(), QStringList({"Yes", "127.0.0.1", "1080"}));
        proxy.disable("A");
        proxy.waitForIdle();
        QCOMPARE(mac.socks(), QStringList({"Yes", "proxy.lan", "3128"}));

        // Disabled with an empty Server line: switched off again, nothing else set.
        mac.setSocks("No", "", "0");
        proxy.enable("A", "127.0.0.1", "1080");
        proxy.disable("A");
        proxy.waitForIdle();
        QCOMPARE(mac.socks(), QStringList({"No", "127.0.0.1", "1080"}));
    }

    // Quitting waits for the queued switches (each a slow admin prompt) and puts the prior setting back.
    void quitWaitsForQueuedWork()
    {
        FakeMac mac;
        QTemporaryDir data;
        mac.setSocks("Yes", "proxy.lan", "3128");
        mac.write("slow", "");
        SystemProxy proxy(data.path(), mac.factory());
        proxy.enable("A", "127.0.0.1", "1080");
        proxy.restoreOnQuit();
        QCOMPARE(mac.read("osascript.scripts").count("do shell script"), 2);
        QCOMPARE(mac.socks(), QStringList({"Yes", "proxy.lan", "3128"}));
        QCOMPARE(proxy.owner(), QString());
    }

    void failuresChangeNothing()
    {
        FakeMac mac;
        QTemporaryDir data;
        SystemProxy proxy(data.path(), mac.factory());
        proxy.enable("A", "127.0.0.1", "1080");
        proxy.waitForIdle();
        const QString restore = proxy.restoreCmd();

        // A cancelled admin prompt, then no primary network service.
        mac.write("cancel", "");
        proxy.enable("B", "127.0.0.1", "1081");
        proxy.waitForIdle();
        QCOMPARE(proxy.owner(), QStringLiteral("A"));
        QCOMPARE(proxy.restoreCmd(), restore);
        mac.write("global.txt", "<dictionary> {\n}\n");
        proxy.enable("C", "127.0.0.1", "1082");
        proxy.waitForIdle();
        QCOMPARE(proxy.owner(), QStringLiteral("A"));
        QCOMPARE(mac.socks(), QStringList({"Yes", "127.0.0.1", "1080"}));

        MacProxyBackend::Tools gone = mac.tools();
        gone.osascript = mac.path("no-such-osascript");
        QVERIFY(!MacProxyBackend(gone).runAdmin("true"));

        SystemProxy nothing(data.path(), [] { return std::make_unique<NoProxyBackend>(); });
        nothing.enable("A", "127.0.0.1", "1080");
        nothing.waitForIdle();
        QCOMPARE(nothing.owner(), QString());
    }

    void restoreFileOutlivesACrash()
    {
        FakeMac mac;
        QTemporaryDir data;
        QString file;
        {
            SystemProxy proxy(data.path(), mac.factory());
            file = proxy.restoreFilePath();
            proxy.enable("A", "127.0.0.1", "1080");
            proxy.enable("B", "127.0.0.1", "1081");
            proxy.waitForIdle();
            struct stat st {};
            QVERIFY(::stat(QFile::encodeName(file).constData(), &st) == 0);
            QCOMPARE(st.st_mode & 0777, 0600u);
            // Ends without restoreOnQuit, as a crash would.
        }
        QCOMPARE(mac.socks(), QStringList({"Yes", "127.0.0.1", "1081"}));
        QFile restoreFile(file);
        QVERIFY(restoreFile.open(QIODevice::ReadOnly));
        const QByteArray crashed = restoreFile.readAll();
        restoreFile.close();
        const auto recover = [&] {
            SystemProxy proxy(data.path(), mac.factory());
            proxy.recoverAfterCrash();
            proxy.waitForIdle();
            return proxy.owner();
        };
        // The setting from before the first switch, not the first tunnel's dead proxy.
        QCOMPARE(recover(), QString());
        QVERIFY(!QFile::exists(file));
        QCOMPARE(mac.socks().first(), QStringLiteral("No"));

        // The user changed the setting after the crash: it is theirs now and stays.
        QVERIFY(restoreFile.open(QIODevice::WriteOnly) && restoreFile.write(crashed) == crashed.size());
        restoreFile.close();
        mac.setSocks("Yes", "their.proxy", "9050");
        recover();
        QCOMPARE(mac.socks(), QStringList({"Yes", "their.proxy", "9050"}));
        QVERIFY(!QFile::exists(file));

        // A file that is not ours is dropped without running anything.
        const QByteArray scripts = mac.read("osascript.scripts");
        QVERIFY(restoreFile.open(QIODevice::WriteOnly) &&
                restoreFile.write(R"({"backend":"macos","prior":{"service":1}})"));
        restoreFile.close();
        recover();
        QVERIFY(!QFile::exists(file));
        QCOMPARE(mac.read("osascript.scripts"), scripts);
    }
};

QTEST_GUILESS_MAIN(SystemProxyTest)
#include "tst_SystemProxy.moc"
