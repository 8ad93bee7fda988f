#include "engine/EngineHarness.h"
#include "engine/LatencyProbe.h"
#include "support/FreePort.h"
#include "support/TempHome.h"

#include <QTcpServer>
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

namespace {

// A listener on 127.0.0.1 that never accepts, its backlog filled so that further handshakes go unanswered.
struct SilentListener {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    QList<int> fillers;
    quint16 port = 0;
    SilentListener()
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        const auto any = reinterpret_cast<sockaddr *>(&addr);
        if (::bind(fd, any, len) != 0 || ::listen(fd, 0) != 0 || ::getsockname(fd, any, &len) != 0)
            return;
        port = ntohs(addr.sin_port);
        for (int i = 0; i < 4; ++i) {
            fillers.append(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            (void)::connect(fillers.last(), any, sizeof addr);
        }
    }
    ~SilentListener()
    {
        for (int filler : std::as_const(fillers))
            ::close(filler);
        ::close(fd);
    }
};

} // namespace

class TstLatencyProbe : public QObject {
    Q_OBJECT
private slots:
    void completesExactlyOnce()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        SilentListener silent;
        QVERIFY(silent.port != 0);
        // A listener gives a time; a closed port and a handshake that never completes give none. Each completes once,
        // never from inside probe(), and the timeout passing later must not complete it a second time.
        const QList<std::pair<quint16, bool>> cases{
            {server.serverPort(), true}, {freePort(), false}, {silent.port, false}};
        for (const auto &[port, answers] : cases) {
            int calls = 0;
            std::optional<double> ms;
            LatencyProbe::probe("127.0.0.1", port, 0.3, [&](std::optional<double> result) {
                ++calls;
                ms = result;
            });
            QCOMPARE(calls, 0);
            QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 3000);
            QCOMPARE(ms.has_value(), answers);
            QVERIFY(ms.value_or(0) >= 0);
            QTest::qWait(500);
            QCOMPARE(calls, 1);
        }
    }

    void engineRecordsRealSamplesAndSurvivesItsOwnEnd()
    {
        TempHome home;
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        // The server the run connects to is this listener (the harness's lookup answers with host and ssh port); the
        // harness's fake probe is taken out, so the engine uses the real one.
        Tunnel local = makeTunnel("a");
        local.host = "127.0.0.1";
        local.sshPort = QString::number(server.serverPort());
        EngineHarness h({});
        AppStateOptions options = h.options(QList<Tunnel>{local}, std::nullopt, false);
        options.probe = nullptr;
        h.state = std::make_unique<AppState>(options);
        h.state->start("a");
        h.runner.report("a", TunnelStatus::Connected);
        h.clock.advance(3000);
        QTRY_COMPARE(h.t("a").latencyMs.size(), 1);
        // A probe still in flight when the state goes away is dropped quietly.
        h.clock.advance(3000);
        h.state.reset();
        QTest::qWait(200);
    }
};

QTEST_GUILESS_MAIN(TstLatencyProbe)
#include "tst_LatencyProbe.moc"
