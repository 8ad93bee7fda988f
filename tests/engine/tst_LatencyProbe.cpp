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

struct Outcome {
    int calls = 0;
    std::optional<double> ms;
};

LatencyProbe::Completion recordInto(Outcome &outcome)
{
    return [&outcome](std::optional<double> ms) {
        ++outcome.calls;
        outcome.ms = ms;
    };
}

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
    void measuresAListenerOnce();
    void closedPortAndTimeoutGiveNone();
    void engineRecordsRealSamplesAndSurvivesItsOwnEnd();
};

void TstLatencyProbe::measuresAListenerOnce()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    Outcome outcome;
    LatencyProbe::probe(QStringLiteral("127.0.0.1"), server.serverPort(), 0.3, recordInto(outcome));
    QCOMPARE(outcome.calls, 0); // never from inside probe()
    QTRY_COMPARE(outcome.calls, 1);
    QVERIFY(outcome.ms.has_value());
    QVERIFY(*outcome.ms >= 0);
    // The timeout passes later and must not complete a second time.
    QTest::qWait(500);
    QCOMPARE(outcome.calls, 1);
}

void TstLatencyProbe::closedPortAndTimeoutGiveNone()
{
    Outcome refused;
    const quint16 port = closedPort();
    QVERIFY(port != 0);
    LatencyProbe::probe(QStringLiteral("127.0.0.1"), port, 0.3, recordInto(refused));
    QTRY_COMPARE(refused.calls, 1);
    QCOMPARE(refused.ms, std::nullopt);
    QTest::qWait(500);
    QCOMPARE(refused.calls, 1);

    SilentListener silent;
    QVERIFY(silent.port != 0);
    Outcome hanging;
    LatencyProbe::probe(QStringLiteral("127.0.0.1"), silent.port, 0.4, recordInto(hanging));
    QTRY_COMPARE_WITH_TIMEOUT(hanging.calls, 1, 3000);
    QCOMPARE(hanging.ms, std::nullopt);
    QTest::qWait(300);
    QCOMPARE(hanging.calls, 1);
}

void TstLatencyProbe::engineRecordsRealSamplesAndSurvivesItsOwnEnd()
{
    TempHome home;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    Tunnel local = makeTunnel(QStringLiteral("a"));
    local.bind = QStringLiteral("0.0.0.0");
    local.bindPort = QString::number(server.serverPort());

    FakeRunner runner;
    ManualClock clock;
    AppStateOptions options;
    options.tunnels = QList<Tunnel>{local};
    options.ssh = &runner;
    options.clock = &clock;
    options.persist = [](const QList<Tunnel> &) {};
    options.groupsPersist = [](const QList<TunnelGroup> &) {};
    auto state = std::make_unique<AppState>(options);
    state->start(QStringLiteral("a"));
    runner.report(QStringLiteral("a"), TunnelStatus::Connected);
    clock.advance(3000);
    QTRY_COMPARE(state->tunnel(QStringLiteral("a"))->latencyMs.size(), 1);

    // A probe still in flight when the state goes away is dropped quietly.
    clock.advance(3000);
    state.reset();
    QTest::qWait(200);
}

QTEST_GUILESS_MAIN(TstLatencyProbe)
#include "tst_LatencyProbe.moc"
