#include "support/Require.h"
#include "system/GnomeProxyBackend.h"
#include "system/SystemProxy.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString schema = QStringLiteral("org.gnome.system.proxy");

// Real gsettings with the keyfile backend in a temporary configuration folder: the proxy settings of a desktop
// session, without touching the user's own.
class Settings {
public:
    Settings() : m_gsettings(QStandardPaths::findExecutable("gsettings"))
    {
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert("GSETTINGS_BACKEND", "keyfile");
        m_environment.insert("XDG_CONFIG_HOME", m_dir.path());
    }

    SystemProxy::BackendFactory factory() const
    {
        return [this] { return std::make_unique<GnomeProxyBackend>(m_gsettings, m_environment); };
    }
    bool available() const { return GnomeProxyBackend(m_gsettings, m_environment).isAvailable(); }
    QString get(const QString &sub, const QString &key) const { return run({"get", schema + sub, key}).trimmed(); }
    void set(const QString &sub, const QString &key, const QString &value) const
    {
        run({"set", schema + sub, key, value});
    }

    // mode, socks host, socks port, http host, https host, ftp host.
    QStringList state() const
    {
        return {get("", "mode"),      get(".socks", "host"), get(".socks", "port"),
                get(".http", "host"), get(".https", "host"), get(".ftp", "host")};
    }
    void setState(const QStringList &values) const
    {
        set(".socks", "host", values[1]);
        set(".socks", "port", values[2]);
        set(".http", "host", values[3]);
        set(".https", "host", values[4]);
        set(".ftp", "host", values[5]);
        set("", "mode", values[0]);
    }

private:
    QString run(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start(m_gsettings, arguments);
        process.waitForFinished();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    QTemporaryDir m_dir;
    QString m_gsettings;
    QProcessEnvironment m_environment;
};

} // namespace

class GnomeProxyBackendTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        REQUIRE_OR_SKIP(Settings().available(),
                        "gsettings and the org.gnome.system.proxy schema (libglib2.0-bin gsettings-desktop-schemas)");
    }

    void switchesAndPutsBackExactly()
    {
        Settings settings;
        QTemporaryDir data;
        const QStringList prior = {"'none'", "'old.example'", "9050", "'stale.example'", "''", "'ftp.example'"};
        settings.setState(prior);
        QCOMPARE(settings.state(), prior);

        SystemProxy proxy(data.path(), settings.factory());
        proxy.enable("A", "127.0.0.1", "1080");
        proxy.waitForIdle();
        QCOMPARE(settings.state(), QStringList({"'manual'", "'127.0.0.1'", "1080", "''", "''", "''"}));
        QCOMPARE(proxy.owner(), QStringLiteral("A"));
        proxy.restoreOnQuit();
        QCOMPARE(settings.state(), prior);
        QCOMPARE(proxy.owner(), QString());

        // A manual setting keeps its other proxies; a host with quotes survives the GVariant text.
        const QStringList manual = {"'manual'", "''", "0", "'corp.example'", "'corp.example'", "''"};
        settings.setState(manual);
        proxy.enable("A", "it's \"odd\"", "1080");
        proxy.waitForIdle();
        QCOMPARE(settings.get(".socks", "host"), QStringLiteral("\"it's \\\"odd\\\"\""));
        QCOMPARE(settings.get(".http", "host"), QStringLiteral("'corp.example'"));
        proxy.disable("A");
        proxy.waitForIdle();
        QCOMPARE(settings.state(), manual);
    }

    void refusesBadPortsAndRecoversAfterACrash()
    {
        Settings settings;
        QTemporaryDir data;
        const QStringList prior = settings.state();
        QString file;
        {
            SystemProxy proxy(data.path(), settings.factory());
            file = proxy.restoreFilePath();
            for (const QString port : {"abc", "70000", "1 2", "int32 5", ""})
                proxy.enable("A", "127.0.0.1", port);
            proxy.waitForIdle();
            QCOMPARE(proxy.owner(), QString());
            QCOMPARE(settings.state(), prior);
            proxy.enable("A", "127.0.0.1", "1080");
            proxy.waitForIdle();
            // Ends without restoreOnQuit, as a crash would.
        }
        QCOMPARE(settings.get("", "mode"), QStringLiteral("'manual'"));
        QFile restoreFile(file);
        QVERIFY(restoreFile.open(QIODevice::ReadOnly));
        const QByteArray crashed = restoreFile.readAll();
        restoreFile.close();
        const auto recover = [&] {
            SystemProxy proxy(data.path(), settings.factory());
            proxy.recoverAfterCrash();
            proxy.waitForIdle();
        };
        // Changed by the user since: left as it is.
        settings.set(".socks", "port", "9050");
        recover();
        QCOMPARE(settings.get(".socks", "port"), QStringLiteral("9050"));
        QVERIFY(!QFile::exists(file));
        // Still as the crashed run left it: put back.
        QVERIFY(restoreFile.open(QIODevice::WriteOnly) && restoreFile.write(crashed) == crashed.size());
        restoreFile.close();
        settings.set(".socks", "port", "1080");
        recover();
        QCOMPARE(settings.state(), prior);
        QVERIFY(!QFile::exists(file));
    }

    void chosenOnThisDesktop()
    {
#ifdef Q_OS_LINUX
        // The keyfile environment makes the choice independent of a running session.
        qputenv("GSETTINGS_BACKEND", "keyfile");
        QCOMPARE(ProxyBackend::forThisSystem()->name(), QStringLiteral("gnome"));
        qunsetenv("GSETTINGS_BACKEND");
        QVERIFY(!GnomeProxyBackend(QString()).isAvailable());
#endif
    }
};

QTEST_GUILESS_MAIN(GnomeProxyBackendTest)
#include "tst_GnomeProxyBackend.moc"
