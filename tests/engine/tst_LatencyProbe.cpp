#include "engine/EngineHarness.h"
#include "engine/LatencyProbe.h"
#include "support/TempHome.h"

#include <QTcpServer>
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port on 127.0.0.1 where nothing listens (bound once, then released).
quint16 closedPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

// A listener on 127.0.0.1 that never accepts, with its backlog filled so further handshakes go unanswered.
class SilentListener {
public:
    SilentListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), len) != 0 || ::listen(m_fd, 0) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
            return;
        port = ntohs(addr.sin_port);
        for (int i = 0; i < 4; ++i) {
            const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            (void)::connect(client, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
            m_fillers.append(client);
        }
    }
    ~SilentListener()
    {
        for (int fd : std::as_const(m_fillers))
            ::close(fd);
        ::close(m_fd);
    }
    quint16 port = 0;

private:
    int m_fd = -1;
    QList<int> m_fillers;
};

} // namespace

class TstLatencyProbe : public QObject {
    Q_OBJECT
private slots:
    void completesExactlyOnce();
    void engineRecordsRealSamplesAndSurvivesItsOwnEnd();
};

void TstLatencyProbe::completesExactlyOnce()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const quint16 closed = closedPort();
    SilentListener silent;
    QVERIFY(closed != 0 && silent.port != 0);

    // A listener gives a time; a closed port and a handshake that never completes give none. Each completes once,
    // never from inside probe(), and the timeout passing later must not complete it a second time.
    const QList<std::pair<quint16, bool>> cases{{server.serverPort(), true}, {closed, false}, {silent.port, false}};
    for (const auto &[port, answers] : cases) {
        int calls = 0;
        std::optional<double> ms;
        LatencyProbe::probe(QStringLiteral("127.0.0.1"), port, 0.3, [&](std::optional<double> result) {
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

void TstLatencyProbe::engineRecordsRealSamplesAndSurvivesItsOwnEnd()
{
    TempHome home;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    // The "server" the run connects to is this listener (the harness's lookup answers with host and ssh port).
    Tunnel local = makeTunnel(QStringLiteral("a"));
    local.host = QStringLiteral("127.0.0.1");
    local.sshPort = QString::number(server.serverPort());

    // The harness with its fake probe taken out, so the engine uses the real one.
    EngineHarness h({});
    AppStateOptions options = h.options(QList<Tunnel>{local}, std::nullopt, false, false);
    options.probe = nullptr;
    h.state = std::make_unique<AppState>(options);
    h.state->start(QStringLiteral("a"));
    h.runner.report(QStringLiteral("a"), TunnelStatus::Connected);
    h.clock.advance(3000);
    QTRY_COMPARE(h.t(QStringLiteral("a")).latencyMs.size(), 1);

    // A probe still in flight when the state goes away is dropped quietly.
    h.clock.advance(3000);
    h.state.reset();
    QTest::qWait(200);
}

QTEST_GUILESS_MAIN(TstLatencyProbe)
#include "tst_LatencyProbe.moc"
