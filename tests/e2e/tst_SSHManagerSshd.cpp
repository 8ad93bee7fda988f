#include "ssh/SSHManager.h"
#include "support/EchoServer.h"
#include "support/FreePort.h"
#include "support/RunnerRecorder.h"
#include "support/SshdFixture.h"
#include "support/TcpRoundTrip.h"

#include <QtTest>

using namespace TcpRoundTrip;

// How the runner judges what ssh prints is checked on recorded transcripts (tst_ssh_manager); here the real client
// and server show that each kind of forward really carries bytes and that a dropped session is reported.
class SSHManagerSshdTest : public QObject {
    Q_OBJECT
private:
    SshdFixture m_sshd;
    EchoServer m_echo;

    Tunnel forward(TunnelType type, const QString &id) const
    {
        Tunnel t = m_sshd.tunnel(type, id);
        t.bind = QStringLiteral("127.0.0.1");
        t.bindPort = QString::number(freePort());
        t.targetHost = QStringLiteral("127.0.0.1");
        t.targetPort = QString::number(m_echo.port());
        return t;
    }

private slots:
    void initTestCase()
    {
        SSHD_REQUIRE_OR_SKIP();
        QVERIFY2(m_sshd.start(), qPrintable(m_sshd.error()));
        QVERIFY(m_echo.isListening());
    }

    void forwardsCarryBytesUntilTheServerDropsThem()
    {
        SSHManager manager;
        RunnerRecorder recorder(manager);
        const Tunnel local = forward(TunnelType::Local, "local");
        const Tunnel remote = forward(TunnelType::Remote, "remote");
        const Tunnel socks = forward(TunnelType::Socks, "socks");
        // The server is its own jump host: the hop's ssh logs in and enters its session in the same pipe.
        Tunnel jumped = forward(TunnelType::Local, "jumped");
        jumped.proxyJump = QStringLiteral("%1@jump:%2").arg(m_sshd.userName()).arg(m_sshd.port());
        const QList<Tunnel> tunnels{local, remote, socks, jumped};
        for (const Tunnel &t : tunnels)
            manager.start(t);

        for (const Tunnel &t : tunnels) {
            QVERIFY2(recorder.waitForStatuses(t.id, 2), qPrintable(recorder.logTexts(t.id).join("\n")));
            QCOMPARE(recorder.statusTexts(t.id), QStringList({"connecting", "connected"}));
        }
        QCOMPARE(roundTrip(local.bindPort.toUShort(), "local"), QByteArray("local"));
        QCOMPARE(roundTrip(remote.bindPort.toUShort(), "remote"), QByteArray("remote"));
        QCOMPARE(socksRoundTrip(socks.bindPort.toUShort(), m_echo.port(), "socks"), QByteArray("socks"));
        QCOMPARE(roundTrip(jumped.bindPort.toUShort(), "through the hop"), QByteArray("through the hop"));
        QVERIFY(recorder.onMainThread());

        // The server drops every session: each run fails as disconnected, once, and lets its process object go.
        m_sshd.killSessions();
        for (const Tunnel &t : tunnels) {
            QVERIFY(recorder.waitForStatuses(t.id, 3));
            QCOMPARE(recorder.statusTexts(t.id), QStringList({"connecting", "connected", "failed: Disconnected"}));
        }
        QTRY_COMPARE_WITH_TIMEOUT(manager.findChildren<QProcess *>().size(), 0, 10000);
        QCoreApplication::processEvents();
        for (const Tunnel &t : tunnels)
            QCOMPARE(recorder.statuses(t.id).size(), 3);
    }
};

QTEST_GUILESS_MAIN(SSHManagerSshdTest)
#include "tst_SSHManagerSshd.moc"
