#include "engine/ServerResolver.h"
#include "support/FakeSsh.h"
#include "support/TempHome.h"

#include <QFile>
#include <QtTest>

namespace {

// Resolves through the real client and waits for the answer.
std::optional<ServerAddress> resolveNow(const QString &program, const Tunnel &record, int timeoutMs = 5000)
{
    bool called = false;
    std::optional<ServerAddress> answer;
    ServerResolver::resolve(
        program, record,
        [&](std::optional<ServerAddress> server) {
            called = true;
            answer = std::move(server);
        },
        timeoutMs);
    [&] { QTRY_VERIFY_WITH_TIMEOUT(called, timeoutMs + 3000); }();
    return answer;
}

} // namespace

class TstServerResolver : public QObject {
    Q_OBJECT
private slots:
    void theServerIsWhatSshResolves();
    void readsFirstHops();
    void aHangingProgramYieldsNone();
};

void TstServerResolver::theServerIsWhatSshResolves()
{
    if (!QFile::exists(QStringLiteral("/usr/bin/ssh")))
        QSKIP("needs /usr/bin/ssh");
    TempHome home;
    // Every name resolves through this file to 127.0.0.x, so nothing is looked up elsewhere.
    const QString config = home.path() + QStringLiteral("/ssh_config");
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Host db-alias\n  HostName 127.0.0.5\n  Port 2201\n"
               "Host via-hop\n  HostName 127.0.0.6\n  ProxyJump me@hop-alias:2299,127.0.0.8\n"
               "Host hop-alias\n  HostName 127.0.0.7\n"
               "Host hidden\n  HostName 127.0.0.9\n  ProxyCommand /bin/false %h %p\n");
    file.close();

    Tunnel t;
    t.id = QStringLiteral("t");
    t.bindPort = QStringLiteral("9000");
    t.targetHost = QStringLiteral("127.0.0.1");
    t.targetPort = QStringLiteral("5432");
    t.extra = QStringLiteral("-F ") + config;

    struct Row {
        const char *host;
        const char *sshPort;
        const char *jump;
        std::optional<ServerAddress> expected;
    };
    const QList<Row> rows{
        // An alias: its HostName; the tunnel's own port (always on the command line) wins over the file's Port.
        {"db-alias", "2222", "", ServerAddress{"127.0.0.5", 2222}},
        {"127.0.0.3", "22", "", ServerAddress{"127.0.0.3", 22}},
        // A jump host (from the file or the tunnel): the first hop, itself resolved with the same file.
        {"via-hop", "22", "", ServerAddress{"127.0.0.7", 2299}},
        {"127.0.0.3", "22", "hop-alias", ServerAddress{"127.0.0.7", 22}},
        // A proxy command hides the server.
        {"hidden", "22", "", std::nullopt},
    };
    for (const Row &row : rows) {
        t.host = QString::fromLatin1(row.host);
        t.sshPort = QString::fromLatin1(row.sshPort);
        t.proxyJump = QString::fromLatin1(row.jump);
        QVERIFY2(resolveNow(QStringLiteral("/usr/bin/ssh"), t) == row.expected, row.host);
    }
}

void TstServerResolver::readsFirstHops()
{
    struct Row {
        const char *output;
        const char *hop;
        int port; // 0: none
    };
    const QList<Row> rows{{"hostname h\nport 22\nproxyjump ssh://me@[::1]:2200,other\n", "::1", 2200},
                          {"proxyjump a@b@jump.test\n", "jump.test", 0},
                          {"proxyjump -oProxyCommand=x\n", nullptr, 0},
                          {"proxyjump [::1\n", nullptr, 0}};
    for (const Row &row : rows) {
        const ServerResolver::Reading reading = ServerResolver::read(row.output);
        QVERIFY(!reading.server);
        QCOMPARE(reading.hopHost, row.hop ? std::optional<QString>(QString::fromLatin1(row.hop)) : std::nullopt);
        QCOMPARE(reading.hopPort, row.port ? std::optional<quint16>(quint16(row.port)) : std::nullopt);
    }
    QCOMPARE(ServerResolver::read("hostname h\nport 70000\n").server, std::nullopt);
    QCOMPARE(ServerResolver::read("hostname h\nport 22\nproxyjump none\nproxycommand none\n").server,
             (ServerAddress{"h", 22}));
}

void TstServerResolver::aHangingProgramYieldsNone()
{
    // A stand-in ssh that never answers is killed at the deadline; a program that is missing answers none too.
    FakeSsh fake;
    const QString hang = fake.write(QStringLiteral("echo hostname h; echo port 22; exec sleep 30"));
    Tunnel t;
    t.host = QStringLiteral("h");
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(resolveNow(hang, t, 300), std::nullopt);
    QVERIFY(timer.elapsed() < 10'000);
    QCOMPARE(resolveNow(fake.dir() + QStringLiteral("/missing"), t), std::nullopt);
}

QTEST_GUILESS_MAIN(TstServerResolver)
#include "tst_ServerResolver.moc"
