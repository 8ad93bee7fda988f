// Runs `flumewire up` of an installed package (FLUMEWIRE_INSTALLED names the program) for one tunnel against a
// throw-away sshd: under `systemd-run --user` with the hardening of the installed user unit (FLUMEWIRE_INSTALLED_UNIT)
// when a user service manager answers, directly otherwise. Started by the package check, not on its own.
#include "model/Store.h"
#include "support/EchoServer.h"
#include "support/FreePort.h"
#include "support/Processes.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"
#include "support/TempHome.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

bool userManagerAnswers()
{
    QProcess systemctl;
    systemctl.start(QStringLiteral("systemctl"), {"--user", "show-environment"});
    return systemctl.waitForFinished(10000) && systemctl.exitStatus() == QProcess::NormalExit &&
           systemctl.exitCode() == 0;
}

// The [Service] settings of a unit file that restrict the process (not how it starts or restarts), as
// systemd-run properties.
QStringList hardeningProperties(const QString &unitPath)
{
    QFile file(unitPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList properties;
    bool service = false;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith('['))
            service = line == QLatin1String("[Service]");
        else if (service && !line.isEmpty() && !line.startsWith('#') && !line.startsWith(QLatin1String("Exec")) &&
                 !line.startsWith(QLatin1String("Restart")) && !line.startsWith(QLatin1String("Type=")))
            properties << QStringLiteral("--property=") + line;
    }
    return properties;
}

} // namespace

class InstalledUpTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SSHD_REQUIRE_OR_SKIP(); }

    void upCarriesBytesAndStopsCleanly()
    {
        const QString program = qEnvironmentVariable("FLUMEWIRE_INSTALLED");
        QVERIFY2(QFileInfo(program).isExecutable(), "FLUMEWIRE_INSTALLED names no installed program");
        TempHome home;
        SshdFixture sshd;
        QVERIFY2(sshd.start(), qPrintable(sshd.error()));
        EchoServer echo;
        QVERIFY(echo.isListening());
        Tunnel t = sshd.tunnel(TunnelType::Local, "pkg-check");
        const quint16 port = freePort();
        t.bindPort = QString::number(port);
        t.targetHost = "127.0.0.1";
        t.targetPort = QString::number(echo.port());
        // The installed program is the regular build: it reads the regular data folder, not the development one.
        QVERIFY(Store::save({t}, false));

        QProcess up;
        const QStringList upArguments{program, "up", "--verbose", t.id};
        const QString unit = QStringLiteral("flumewire-check-%1").arg(QCoreApplication::applicationPid());
        const bool underSystemd = userManagerAnswers();
        if (underSystemd) {
            const QString unitFile = qEnvironmentVariable("FLUMEWIRE_INSTALLED_UNIT");
            const QStringList hardening = hardeningProperties(unitFile);
            QVERIFY2(!hardening.isEmpty(), qPrintable("no hardening settings read from " + unitFile));
            QStringList arguments{"--user",
                                  "--quiet",
                                  "--pipe",
                                  "--wait",
                                  "--collect",
                                  "--unit=" + unit,
                                  "--setenv=XDG_DATA_HOME=" + home.dataHome(),
                                  "--setenv=XDG_CONFIG_HOME=" + home.configHome()};
            arguments << hardening << upArguments;
            qInfo("running flumewire up under systemd-run --user, with %s", qPrintable(hardening.join(' ')));
            up.start(QStringLiteral("systemd-run"), arguments);
        } else {
            qInfo("no user service manager answers: running flumewire up directly");
            up.start(program, upArguments.mid(1));
        }
        QByteArray out;
        connect(&up, &QProcess::readyReadStandardOutput, this, [&] { out += up.readAllStandardOutput(); });
        QTRY_VERIFY2_WITH_TIMEOUT(out.contains(" pkg-check connected\n"), out.constData(), 30000);
        QCOMPARE(TcpRoundTrip::roundTrip(port, "through the installed program"),
                 QByteArray("through the installed program"));

        const QString forward = QStringLiteral("127.0.0.1:%1:127.0.0.1:%2").arg(port).arg(echo.port());
        QCOMPARE(processesWith(forward), 1);
        if (underSystemd)
            QCOMPARE(QProcess::execute(QStringLiteral("systemctl"), {"--user", "stop", unit + ".service"}), 0);
        else
            up.terminate();
        QVERIFY(up.waitForFinished(20000));
        QCOMPARE(up.exitStatus(), QProcess::NormalExit);
        QCOMPARE(up.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(processesWith(forward), 0, 5000);
    }
};

QTEST_GUILESS_MAIN(InstalledUpTest)
#include "tst_InstalledUp.moc"
