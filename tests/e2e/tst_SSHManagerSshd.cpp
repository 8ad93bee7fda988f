#include "ssh/SSHManager.h"
#include "support/EchoServer.h"
#include "support/FakeSsh.h"
#include "support/FreePort.h"
#include "support/RunnerRecorder.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using namespace TcpRoundTrip;

namespace {

int processObjects(const SSHManager &manager)
{
    return int(manager.findChildren<QProcess *>().size());
}

// Index of the first (or last) log line containing the text, or -1.
qsizetype lineOf(const QStringList &lines, const QString &text, bool last = false)
{
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const qsizetype i = last ? lines.size() - 1 - n : n;
        if (lines.at(i).contains(text))
            return i;
    }
    return -1;
}

// Index of the log line just before the report that said connected, or -1.
qsizetype decidingLine(const RunnerRecorder &recorder, const QString &id)
{
    for (const RunnerRecorder::Status &s : recorder.statuses(id)) {
        if (s.status == TunnelStatus::Connected)
            return s.logsBefore - 1;
    }
    return -1;
}

} // namespace

class SSHManagerSshdTest : public QObject {
    Q_OBJECT
private:
    SshdFixture m_sshd;
    EchoServer m_echo;

    Tunnel forward(TunnelType type, const QString &id, quint16 bindPort = 0) const
    {
        Tunnel t = m_sshd.tunnel(type, id);
        t.bind = QStringLiteral("127.0.0.1");
        t.bindPort = QString::number(bindPort ? bindPort : freePort());
        t.targetHost = QStringLiteral("127.0.0.1");
        t.targetPort = QString::number(m_echo.port());
        return t;
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
        const Tunnel local = forward(TunnelType::Local, "local");
        const Tunnel remote = forward(TunnelType::Remote, "remote");
        const Tunnel socks = forward(TunnelType::Socks, "socks");
        for (const Tunnel &t : {local, remote, socks})
            manager.start(t);

        for (const QString id : {"local", "remote", "socks"}) {
            QVERIFY2(recorder.waitForStatus(id, TunnelStatus::Connected), qPrintable(recorder.logTexts(id).join("\n")));
            QCOMPARE(recorder.statusTexts(id), QStringList({"connecting", "connected"}));
            QVERIFY(recorder.logTexts(id).contains(
                "Unauthorised access: Permission denied. Connection refused to intruders."));
        }
        QCOMPARE(decidingLine(recorder, "local"),
                 lineOf(recorder.logTexts("local"), "debug1: Entering interactive session.", true));
        QCOMPARE(decidingLine(recorder, "remote"),
                 lineOf(recorder.logTexts("remote"), "debug1: remote forward success for: listen 127.0.0.1:", true));
        QCOMPARE(roundTrip(local.bindPort.toUShort(), "local"), QByteArray("local"));
        QCOMPARE(roundTrip(remote.bindPort.toUShort(), "remote"), QByteArray("remote"));
        QCOMPARE(socksRoundTrip(socks.bindPort.toUShort(), m_echo.port(), "socks"), QByteArray("socks"));
        QVERIFY(recorder.onMainThread());

        // Stopping reports nothing, ends the child and lets its process object go.
        manager.stop("socks");
        QVERIFY(!manager.isRunning("socks"));
        QTRY_COMPARE_WITH_TIMEOUT(processObjects(manager), 2, 10000);
        QVERIFY(!accepts(socks.bindPort.toUShort()));
        // The server drops the other sessions: each fails as disconnected, once.
        m_sshd.killSessions();
        for (const QString id : {"local", "remote"}) {
            QVERIFY(recorder.waitForStatuses(id, 3));
            QCOMPARE(recorder.statusTexts(id), QStringList({"connecting", "connected", "failed: Disconnected"}));
        }
        QTRY_COMPARE_WITH_TIMEOUT(processObjects(manager), 0, 10000);
        QCoreApplication::processEvents();
        QCOMPARE(recorder.statusTexts("socks"), QStringList({"connecting", "connected"}));
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
        QVERIFY(recorder.waitForStatuses("busy-remote", 2));
        QCOMPARE(recorder.statusTexts("busy-local"), QStringList({"connecting", "failed: Local port already in use"}));
        QCOMPARE(recorder.statusTexts("busy-remote"), QStringList({"connecting", "failed: Remote forwarding failed"}));
        QTRY_VERIFY_WITH_TIMEOUT(!manager.isRunning("busy-local") && !manager.isRunning("busy-remote"), 10000);
    }

    void firstAddressRefusedConnectsOnce()
    {
        // "dual" resolves first to ::1, where nothing listens, then to the server's 127.0.0.1, as dual-stack names do.
        QTemporaryDir dir;
        QFile hosts(dir.filePath("hosts"));
        QVERIFY(hosts.open(QIODevice::WriteOnly) && hosts.write("::1 dual\n127.0.0.1 dual\n") > 0);
        hosts.close();
        FakeSsh scripts;
        const QString program = scripts.realClientWithHosts(hosts.fileName());
        REQUIRE_OR_SKIP(!program.isEmpty(), "libnss_wrapper.so (libnss-wrapper)");
        SSHManager manager(program);
        RunnerRecorder recorder(manager);
        Tunnel t = forward(TunnelType::Local, "dual");
        t.host = QStringLiteral("dual");
        t.extra += QStringLiteral(" -o HostName=dual");
        manager.start(t);

        QVERIFY2(recorder.waitForStatus("dual", TunnelStatus::Connected),
                 qPrintable(recorder.logTexts("dual").join("\n")));
        QCOMPARE(roundTrip(t.bindPort.toUShort(), "over the second address"), QByteArray("over the second address"));
        QCOMPARE(recorder.statusTexts("dual"), QStringList({"connecting", "connected"}));
        // A dropped session is reported once, as a disconnection, not as the first address's refusal.
        m_sshd.killSessions();
        QVERIFY(recorder.waitForStatuses("dual", 3));
        QCOMPARE(recorder.statusTexts("dual").last(), QStringLiteral("failed: Disconnected"));
    }

    void jumpHostThroughTheServer()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);
        // The server is its own jump host: the hop's ssh logs in and enters its session before the tunnel's ssh even
        // reads its server's version, in the same pipe.
        Tunnel t = forward(TunnelType::Local, "jumped");
        t.proxyJump = QStringLiteral("%1@jump:%2").arg(m_sshd.userName()).arg(m_sshd.port());
        manager.start(t);
        QVERIFY2(recorder.waitForStatus("jumped", TunnelStatus::Connected),
                 qPrintable(recorder.logTexts("jumped").join("\n")));
        QCOMPARE(roundTrip(t.bindPort.toUShort(), "through the hop"), QByteArray("through the hop"));
        QCOMPARE(recorder.statusTexts("jumped"), QStringList({"connecting", "connected"}));

        // Decided by the tunnel's own ssh entering its session, the last such line, not by the hop's.
        QCOMPARE(decidingLine(recorder, "jumped"),
                 lineOf(recorder.logTexts("jumped"), "debug1: Entering interactive session.", true));
        QVERIFY(lineOf(recorder.logTexts("jumped"), "debug1: Entering interactive session.") <
                decidingLine(recorder, "jumped"));
    }

    void silentServerFailsByTheDeadline()
    {
        // Accepts the connection and never says a word.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        SSHManager manager;
        manager.setConnectionDeadline(1500);
        RunnerRecorder recorder(manager);
        Tunnel t = forward(TunnelType::Local, "silent");
        t.sshPort = QString::number(silent.serverPort());
        manager.start(t);
        // The one-shot test has a deadline of its own.
        QStringList verdicts;
        SSHManager::test(
            t, [&](bool ok, const QString &message) { verdicts << QString::number(ok) + message; },
            QStringLiteral("/usr/bin/ssh"), 1500);
        QVERIFY(recorder.waitForStatuses("silent", 2));
        QCOMPARE(recorder.statusTexts("silent"), QStringList({"connecting", "failed: Connection timed out"}));
        QVERIFY(silent.hasPendingConnections());
        QVERIFY(!manager.isRunning("silent"));
        QTRY_COMPARE_WITH_TIMEOUT(processObjects(manager), 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!verdicts.isEmpty(), 10000);
        QCOMPARE(verdicts, QStringList({"0Connection timed out"}));
    }
};

QTEST_GUILESS_MAIN(SSHManagerSshdTest)
#include "tst_SSHManagerSshd.moc"
