#include "support/LogCapture.h"
#include "system/GnomeProxyBackend.h"
#include "system/SystemProxy.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

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

    std::unique_ptr<GnomeProxyBackend> backend() const
    {
        return std::make_unique<GnomeProxyBackend>(m_gsettings, m_environment);
    }
    SystemProxy::BackendFactory factory() const
    {
        return [this] { return backend(); };
    }

    QString get(const QString &schema, const QString &key) const { return run({"get", schema, key}).trimmed(); }
    void set(const QString &schema, const QString &key, const QString &value) const
    {
        run({"set", schema, key, value});
    }

    // mode, socks host, socks port, http host, https host, ftp host.
    QStringList state() const
    {
        const QString p = "org.gnome.system.proxy";
        return {get(p, "mode"),           get(p + ".socks", "host"), get(p + ".socks", "port"),
                get(p + ".http", "host"), get(p + ".https", "host"), get(p + ".ftp", "host")};
    }
    void setState(const QStringList &values) const
    {
        const QString p = "org.gnome.system.proxy";
        set(p + ".socks", "host", values[1]);
        set(p + ".socks", "port", values[2]);
        set(p + ".http", "host", values[3]);
        set(p + ".https", "host", values[4]);
        set(p + ".ftp", "host", values[5]);
        set(p, "mode", values[0]);
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
        Settings settings;
        if (settings.backend()->isAvailable())
            return;
        const char *why = "gsettings or the org.gnome.system.proxy schema is missing "
                          "(Debian: libglib2.0-bin gsettings-desktop-schemas)";
        if (qEnvironmentVariable("CI") == QLatin1String("true"))
            QFAIL(why);
        qWarning("SKIPPING the GNOME proxy tests: %s", why);
        QSKIP(why);
    }

    void switchesAndPutsBackExactly()
    {
        Settings settings;
        QTemporaryDir data;
        LogCapture log;
        const QStringList prior = {"'none'", "'old.example'", "9050", "'stale.example'", "''", "'ftp.example'"};
        settings.setState(prior);
        QCOMPARE(settings.state(), prior);

        SystemProxy proxy(data.path(), settings.factory());
        proxy.enable("A", "127.0.0.1", "1080");
        proxy.waitForIdle();
        QCOMPARE(settings.state(), QStringList({"'manual'", "'127.0.0.1'", "1080", "''", "''", "''"}));
        QCOMPARE(proxy.owner(), QStringLiteral("A"));
        QVERIFY(log.contains("system SOCKS proxy: 127.0.0.1:1080 in the GNOME proxy settings"));

        // Back to the start through the tunnel's own restore.
        proxy.restoreOnQuit();
        QCOMPARE(settings.state(), prior);
        QCOMPARE(proxy.owner(), QString());

        // A manual setting keeps its other proxies; a host with quotes survives the GVariant text.
        const QStringList manual = {"'manual'", "''", "0", "'corp.example'", "'corp.example'", "''"};
        settings.setState(manual);
        proxy.enable("A", "it's \"odd\"", "1080");
        proxy.waitForIdle();
        QCOMPARE(settings.get("org.gnome.system.proxy.socks", "host"), QStringLiteral("\"it's \\\"odd\\\"\""));
        QCOMPARE(settings.get("org.gnome.system.proxy.http", "host"), QStringLiteral("'corp.example'"));
        proxy.disable("A");
        proxy.waitForIdle();
        QCOMPARE(settings.state(), manual);
    }

    void refusesBadPortsAndRecoversAfterACrash()
    {
        Settings settings;
        QTemporaryDir data;
        LogCapture log;
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
            QCOMPARE(log.messages(Log::Category::Ssh).count("system proxy: failed to set (cancelled or error)"), 5);

            proxy.enable("A", "127.0.0.1", "1080");
            proxy.waitForIdle();
            QVERIFY(QFile::exists(file));
        }
        QCOMPARE(settings.get("org.gnome.system.proxy", "mode"), QStringLiteral("'manual'"));
        QFile restoreFile(file);
        QVERIFY(restoreFile.open(QIODevice::ReadOnly));
        const QByteArray crashed = restoreFile.readAll();
        restoreFile.close();
        // Changed by the user since: left as it is.
        settings.set("org.gnome.system.proxy.socks", "port", "9050");
        {
            SystemProxy proxy(data.path(), settings.factory());
            proxy.recoverAfterCrash();
            proxy.waitForIdle();
        }
        QCOMPARE(settings.get("org.gnome.system.proxy.socks", "port"), QStringLiteral("9050"));
        QVERIFY(!QFile::exists(file));
        QVERIFY(restoreFile.open(QIODevice::WriteOnly));
        restoreFile.write(crashed);
        restoreFile.close();
        settings.set("org.gnome.system.proxy.socks", "port", "1080");
        SystemProxy proxy(data.path(), settings.factory());
        proxy.recoverAfterCrash();
        proxy.waitForIdle();
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
