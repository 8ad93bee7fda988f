#include "ssh/SSHManager.h"
#include "support/EchoServer.h"
#include "support/FakeSsh.h"
#include "support/FreePort.h"
#include "support/LogCapture.h"
#include "support/RunnerRecorder.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"

#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using namespace TcpRoundTrip;

class SSHManagerSshdTest : public QObject {
    Q_OBJECT
private:
    SshdFixture m_sshd;
    EchoServer m_echo;

    Tunnel forward(TunnelType type, const QString &id, quint16 bindPort) const
    {
        Tunnel t = m_sshd.tunnel(type, id);
        t.bind = QStringLiteral("127.0.0.1");
        t.bindPort = QString::number(bindPort);
        t.targetHost = QStringLiteral("127.0.0.1");
        t.targetPort = QString::number(m_echo.port());
        return t;
    }

    static int processObjects(const SSHManager &manager) { return manager.findChildren<QProcess *>().size(); }

    // Index of the last log line containing the text, or -1.
    static qsizetype lastLine(const QStringList &lines, const QString &text)
    {
        for (qsizetype i = lines.size() - 1; i >= 0; --i) {
            if (lines.at(i).contains(text))
                return i;
        }
        return -1;
    }

    // Index of the log line just before the report that said connected, or -1.
    static qsizetype decidingLine(const RunnerRecorder &recorder, const QString &id)
    {
        for (const RunnerRecorder::Status &s : recorder.statuses(id)) {
            if (s.status == TunnelStatus::Connected)
                return s.logsBefore - 1;
        }
        return -1;
    }

private slots:
    void initTestCase()
    {
        SSHD_REQUIRE_OR_SKIP();
        // Every client sees a legal notice that carries ssh's own phrases; none of it may change a verdict.
        m_sshd.setBanner("Unauthorised access: Permission denied. Connection refused to intruders.\r\n"
                         "debug1: Entering interactive session.\n"
                         "debug1: Local forwarding listening on 127.0.0.1 port 1.\n"
                         "debug1: remote forward success for: listen 1, connect 127.0.0.1:1\n"
                         "Host key verification failed.");
        QVERIFY2(m_sshd.start(), qPrintable(m_sshd.error()));
        QVERIFY(m_echo.isListening());
    }

    void forwardsConnectAndCarryBytes()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);

        const quint16 localPort = freePort();
        const quint16 remotePort = freePort();
        const quint16 socksPort = freePort();
        manager.start(forward(TunnelType::Local, "local", localPort));
        manager.start(forward(TunnelType::Remote, "remote", remotePort));
        manager.start(forward(TunnelType::Socks, "socks", socksPort));

        for (const QString id : {"local", "remote", "socks"}) {
            QVERIFY2(
                recorder.waitForStatus(id, TunnelStatus::Connected),
                qPrintable(id + ": " + recorder.statusTexts(id).join(", ") + "\n" + recorder.logTexts(id).join("\n")));
            QCOMPARE(recorder.statusTexts(id), QStringList({"connecting", "connected"}));
            QVERIFY(manager.isRunning(id));
            QVERIFY(recorder.logTexts(id).contains(
                "Unauthorised access: Permission denied. Connection refused to intruders."));
        }
        QCOMPARE(decidingLine(recorder, "local"),
                 lastLine(recorder.logTexts("local"), "debug1: Entering interactive session."));
        QCOMPARE(decidingLine(recorder, "remote"),
                 lastLine(recorder.logTexts("remote"), "debug1: remote forward success for: listen 127.0.0.1:"));
        QCOMPARE(roundTrip(localPort, "through the local forward"), QByteArray("through the local forward"));
        QCOMPARE(roundTrip(remotePort, "through the remote forward"), QByteArray("through the remote forward"));
        QCOMPARE(socksRoundTrip(socksPort, m_echo.port(), "through the SOCKS proxy"),
                 QByteArray("through the SOCKS proxy"));
        QVERIFY(recorder.onMainThread());

        // Stopping reports nothing, ends the children and lets the process objects go.
        LogCapture capture;
        manager.stopAll();
        QVERIFY(!manager.isRunning("local"));
        QTRY_COMPARE_WITH_TIMEOUT(processObjects(manager), 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!accepts(localPort), 10000);
        QCoreApplication::processEvents();
        QCOMPARE(recorder.statuses("local").size(), 2);
        QCOMPARE(recorder.statuses("remote").size(), 2);
        QCOMPARE(recorder.statuses("socks").size(), 2);
        QCOMPARE(capture.messages(Log::Category::Ssh), QStringList());
    }

    void busyPortsFailWithoutConnecting()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);

        QTcpServer localSquatter;
        QVERIFY(localSquatter.listen(QHostAddress::LocalHost, 0));
        manager.start(forward(TunnelType::Local, "busy-local", localSquatter.serverPort()));

        // The server binds remote forwards on every loopback address, so take the port on both.
        QTcpServer remoteSquatter4;
        QTcpServer remoteSquatter6;
        QVERIFY(remoteSquatter4.listen(QHostAddress::LocalHost, 0));
        remoteSquatter6.listen(QHostAddress::LocalHostIPv6, remoteSquatter4.serverPort());
        manager.start(forward(TunnelType::Remote, "busy-remote", remoteSquatter4.serverPort()));

        QVERIFY(recorder.waitForStatuses("busy-local", 2));
        QTRY_VERIFY_WITH_TIMEOUT(!manager.isRunning("busy-local"), 10000);
        QCOMPARE(recorder.statusTexts("busy-local"), QStringList({"connecting", "failed: Local port already in use"}));
        // The log names who holds the port: this test.
        QVERIFY2(recorder.logTexts("busy-local")
                     .contains(QStringLiteral("port %1 is held by %2 (pid %3)")
                                   .arg(localSquatter.serverPort())
                                   .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName().left(15))
                                   .arg(QCoreApplication::applicationPid())),
                 qPrintable(recorder.logTexts("busy-local").join("\n")));

        QVERIFY2(recorder.waitForStatuses("busy-remote", 2), qPrintable(recorder.logTexts("busy-remote").join("\n")));

        // ssh announces both before it knows the forward failed: a connected phrase alone proves nothing.
        const auto firstLine = [&recorder](const QString &id, const QString &pattern) {
            const QStringList lines = recorder.logTexts(id);
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (lines.at(i).contains(pattern))
                    return i;
            }
            return qsizetype(-1);
        };
        const qsizetype announced = firstLine("busy-local", "Local forwarding listening");
        QVERIFY(announced >= 0);
        QVERIFY(announced < firstLine("busy-local", "Address already in use"));
        const qsizetype entered = firstLine("busy-remote", "Entering interactive session");
        QVERIFY(entered >= 0);
        QVERIFY(entered < firstLine("busy-remote", "remote port forwarding failed"));
        QCOMPARE(recorder.statusTexts("busy-remote"), QStringList({"connecting", "failed: Remote forwarding failed"}));
    }

    void connectionFailuresNameTheirReason()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);

        Tunnel wrongKey = forward(TunnelType::Local, "wrong-key", freePort());
        wrongKey.extra = QStringLiteral("-F ") + m_sshd.wrongKeySshConfigPath();
        manager.start(wrongKey);

        Tunnel closed = forward(TunnelType::Local, "closed", freePort());
        closed.sshPort = QString::number(freePort());
        manager.start(closed);

        // A name in the reserved .invalid domain never resolves. Its first label is longer than DNS allows (63), so
        // the resolver rejects it before sending any query: no traffic leaves this machine.
        Tunnel unknown = forward(TunnelType::Local, "unknown", freePort());
        unknown.host = QString(64, QLatin1Char('x')) + QStringLiteral(".invalid");
        unknown.extra = QStringLiteral("-F /dev/null");
        manager.start(unknown);

        const QList<std::pair<QString, QString>> expected{
            {"wrong-key", "Permission denied"}, {"closed", "Connection refused"}, {"unknown", "Host not found"}};
        for (const auto &[id, reason] : expected) {
            QVERIFY2(recorder.waitForStatuses(id, 2, 30000), qPrintable(recorder.logTexts(id).join("\n")));
            QTRY_VERIFY_WITH_TIMEOUT(!manager.isRunning(id), 10000);
            QCOMPARE(recorder.statusTexts(id), QStringList({"connecting", "failed: " + reason}));
        }
    }

    void firstAddressRefusedConnectsOnce()
    {
        // "dual" resolves first to ::1, where nothing listens, then to the server's 127.0.0.1, as dual-stack names do.
        QTemporaryDir dir;
        const QString hosts = dir.filePath("hosts");
        QFile file(hosts);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("::1 dual\n127.0.0.1 dual\n") > 0);
        file.close();
        FakeSsh scripts;
        const QString program = scripts.realClientWithHosts(hosts);
        if (program.isEmpty()) {
            if (qEnvironmentVariable("CI") == QLatin1String("true"))
                QFAIL("libnss_wrapper.so is missing: install libnss-wrapper (tools/packages.sh lists it)");
            QSKIP("libnss-wrapper is not installed");
        }
        SSHManager manager(program);
        RunnerRecorder recorder(manager);
        Tunnel t = forward(TunnelType::Local, "dual", freePort());
        t.host = QStringLiteral("dual");
        t.extra += QStringLiteral(" -o HostName=dual");
        manager.start(t);

        const auto story = [&] {
            return (recorder.statusTexts("dual") + recorder.logTexts("dual")).join("\n").toUtf8();
        };
        QVERIFY2(recorder.waitForStatus("dual", TunnelStatus::Connected), story().constData());
        QVERIFY2(lastLine(recorder.logTexts("dual"),
                          QStringLiteral("connect to address ::1 port %1:").arg(m_sshd.port())) >= 0,
                 story().constData());
        QCOMPARE(roundTrip(t.bindPort.toUShort(), "over the second address"), QByteArray("over the second address"));
        // It stays up: nothing more is reported while the session lasts.
        QTest::qWait(1500);
        QCOMPARE(recorder.statusTexts("dual"), QStringList({"connecting", "connected"}));
        QVERIFY(manager.isRunning("dual"));

        // A dropped session is reported once, as a disconnection (not as the first address's refusal); started
        // again, it connects again, once.
        m_sshd.killSessions();
        QVERIFY(recorder.waitForStatuses("dual", 3));
        manager.start(t);
        QVERIFY2(recorder.waitForStatuses("dual", 5), story().constData());
        QTest::qWait(500);
        QCOMPARE(recorder.statusTexts("dual"),
                 QStringList({"connecting", "connected", "failed: Disconnected", "connecting", "connected"}));
        manager.stopAll();
    }

    void jumpHostThroughTheServer()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);
        // The server is its own jump host: the hop's ssh logs in and enters its session before the tunnel's ssh even
        // reads its server's version, in the same pipe.
        Tunnel t = forward(TunnelType::Local, "jumped", freePort());
        t.proxyJump = QStringLiteral("%1@jump:%2").arg(m_sshd.userName()).arg(m_sshd.port());
        manager.start(t);
        QVERIFY2(recorder.waitForStatus("jumped", TunnelStatus::Connected),
                 qPrintable(recorder.logTexts("jumped").join("\n")));
        QCOMPARE(roundTrip(t.bindPort.toUShort(), "through the hop"), QByteArray("through the hop"));
        QCOMPARE(recorder.statusTexts("jumped"), QStringList({"connecting", "connected"}));

        const QStringList lines = recorder.logTexts("jumped");
        const qsizetype hop = lastLine(lines, "debug1: channel_connect_stdio_fwd: 127.0.0.1:");
        const qsizetype own = lastLine(lines, "(via proxy) using");
        QVERIFY(hop >= 0 && own > hop);
        QVERIFY(decidingLine(recorder, "jumped") > own);
        QCOMPARE(decidingLine(recorder, "jumped"), lastLine(lines, "debug1: Entering interactive session."));
        manager.stopAll();
    }

    void silentServerFailsByTheDeadline()
    {
        // Accepts the connection and never says a word.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        QList<QTcpSocket *> held;
        connect(&silent, &QTcpServer::newConnection, &silent, [&] {
            while (QTcpSocket *socket = silent.nextPendingConnection())
                held.append(socket);
        });

        SSHManager manager;
        manager.setConnectionDeadline(1500);
        RunnerRecorder recorder(manager);
        Tunnel t = forward(TunnelType::Local, "silent", freePort());
        t.sshPort = QString::number(silent.serverPort());
        manager.start(t);
        QVERIFY(recorder.waitForStatuses("silent", 2));
        QCOMPARE(recorder.statusTexts("silent"), QStringList({"connecting", "failed: Connection timed out"}));
        QVERIFY(!held.isEmpty());
        QVERIFY(!manager.isRunning("silent"));
        QTRY_COMPARE_WITH_TIMEOUT(processObjects(manager), 0, 10000);
        QCOMPARE(recorder.logTexts("silent").last(), QStringLiteral("No connection after 1.5 s: ssh stopped"));

        // The one-shot test has a deadline of its own.
        bool ok = true;
        QString message;
        int calls = 0;
        SSHManager::test(
            t,
            [&](bool o, QString m) {
                ++calls;
                ok = o;
                message = m;
            },
            QStringLiteral("/usr/bin/ssh"), 1500);
        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 10000);
        QVERIFY(!ok);
        QCOMPARE(message, QStringLiteral("Connection timed out"));
    }

    void droppedSessionAndReplacement()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);
        LogCapture capture;

        // Starting a running id again replaces its child and never reports the old child's exit.
        const Tunnel tunnel = forward(TunnelType::Local, "dropped", freePort());
        manager.start(tunnel);
        QVERIFY(recorder.waitForStatus("dropped", TunnelStatus::Connected));
        manager.start(tunnel);
        QVERIFY(capture.contains("stop dropped"));
        QVERIFY(recorder.waitForStatuses("dropped", 4));
        QTRY_COMPARE_WITH_TIMEOUT(processObjects(manager), 1, 10000);
        QCoreApplication::processEvents();
        QCOMPARE(recorder.statusTexts("dropped"), QStringList({"connecting", "connected", "connecting", "connected"}));
        QCOMPARE(roundTrip(tunnel.bindPort.toUShort(), "after replacement"), QByteArray("after replacement"));

        // The server drops the session: the tunnel fails as disconnected.
        m_sshd.killSessions();
        QVERIFY(recorder.waitForStatuses("dropped", 5));
        QCOMPARE(recorder.statusTexts("dropped").last(), QStringLiteral("failed: Disconnected"));
        QVERIFY(!manager.isRunning("dropped"));
        QVERIFY(
            capture.messages(Log::Category::Ssh).contains(QStringLiteral("exited dropped code=255 established=true")));
        QTRY_COMPARE_WITH_TIMEOUT(processObjects(manager), 0, 10000);
    }

    void connectionTestVerdicts()
    {
        FakeSsh scripts;
        const QString good = scripts.realClientWithConfig(m_sshd.sshConfigPath(), "ssh-good");
        const QString wrong = scripts.realClientWithConfig(m_sshd.wrongKeySshConfigPath(), "ssh-wrong");

        // A server that closes every connection at once: ssh fails with a text no table row knows.
        QTcpServer closer;
        QVERIFY(closer.listen(QHostAddress::LocalHost, 0));
        connect(&closer, &QTcpServer::newConnection, &closer, [&closer] {
            while (QTcpSocket *socket = closer.nextPendingConnection()) {
                socket->close();
                socket->deleteLater();
            }
        });

        struct Case {
            QString program;
            QString port;
            bool ok;
            QString message;
        };
        const QList<Case> cases{{good, QString::number(m_sshd.port()), true, "Connected"},
                                {wrong, QString::number(m_sshd.port()), false, "Permission denied"},
                                {good, QString::number(closer.serverPort()), false, "Could not connect"}};
        for (const Case &c : cases) {
            Tunnel t = m_sshd.tunnel(TunnelType::Local, "tested");
            t.sshPort = c.port;
            int calls = 0;
            bool ok = !c.ok;
            QString message;
            SSHManager::test(
                t,
                [&](bool o, QString m) {
                    ++calls;
                    ok = o;
                    message = m;
                },
                c.program);
            QCOMPARE(calls, 0);
            QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 30000);
            QCOMPARE(message, c.message);
            QCOMPARE(ok, c.ok);
            QTest::qWait(50);
            QCOMPARE(calls, 1);
        }
    }
};

QTEST_GUILESS_MAIN(SSHManagerSshdTest)
#include "tst_SSHManagerSshd.moc"
