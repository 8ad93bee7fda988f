#include "engine/ServerResolver.h"
#include "support/FakeSsh.h"
#include "support/TempHome.h"

#include <QFile>
#include <QtTest>

namespace {

// Resolves through the given program and waits for the answer.
std::optional<ServerAddress> resolveNow(const QString &program, const Tunnel &record, int timeoutMs = 5000)
{
    std::optional<std::optional<ServerAddress>> answer; // set once answered, with none or a server
    ServerResolver::resolve(
        program, record, [&](std::optional<ServerAddress> server) { answer = server; }, timeoutMs);
    [&] { QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), timeoutMs + 3000); }();
    return answer.value_or(std::nullopt);
}

} // namespace

class TstServerResolver : public QObject {
    Q_OBJECT
private slots:
    void theServerIsWhatSshResolves()
    {
        if (!QFile::exists("/usr/bin/ssh"))
            QSKIP("needs /usr/bin/ssh");
        TempHome home;
        // Every name resolves through this file to 127.0.0.x, so nothing is looked up elsewhere.
        const QString config = home.write("ssh_config", "Host db-alias\n  HostName 127.0.0.5\n  Port 2201\n"
                                                        "Host via-hop\n  HostName 127.0.0.6\n"
                                                        "  ProxyJump me@hop-alias:2299,127.0.0.8\n"
                                                        "Host hop-alias\n  HostName 127.0.0.7\n"
                                                        "Host hidden\n  HostName 127.0.0.9\n"
                                                        "  ProxyCommand /bin/false %h %p\n");
        Tunnel t;
        t.bindPort = "9000";
        t.targetHost = "127.0.0.1";
        t.targetPort = "5432";
        t.extra = "-F " + config;
        struct Row {
            const char *host, *sshPort, *jump;
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
            t.host = row.host;
            t.sshPort = row.sshPort;
            t.proxyJump = row.jump;
            QVERIFY2(resolveNow("/usr/bin/ssh", t) == row.expected, row.host);
        }
    }

    void readsFirstHops()
    {
        // The output of ssh -G, and what is read from it: the first hop, and the server when there is no hop.
        const QList<std::pair<const char *, const char *>> rows{
            {"hostname h\nport 22\nproxyjump ssh://me@[::1]:2200,other\n", "::1 2200 -"},
            {"proxyjump a@b@jump.test\n", "jump.test - -"},
            {"proxyjump -oProxyCommand=x\n", "- - -"},
            {"proxyjump [::1\n", "- - -"},
            {"hostname h\nport 70000\n", "- - -"},
            {"hostname h\nport 22\nproxyjump none\nproxycommand none\n", "- - h:22"}};
        for (const auto &[output, read] : rows) {
            const ServerResolver::Reading r = ServerResolver::read(output);
            const QString hop = r.hopHost.value_or("-") + " " + (r.hopPort ? QString::number(*r.hopPort) : "-");
            QCOMPARE(hop + " " + (r.server ? r.server->host + ":" + QString::number(r.server->port) : "-"), read);
        }
    }

    void aHangingOrMissingProgramYieldsNone()
    {
        // A stand-in ssh that never answers is killed at the deadline; a program that is missing answers none too.
        FakeSsh fake;
        Tunnel t;
        t.host = "h";
        QCOMPARE(resolveNow(fake.write("echo hostname h; echo port 22; exec sleep 30"), t, 300), std::nullopt);
        QCOMPARE(resolveNow(fake.dir() + "/missing", t), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TstServerResolver)
#include "tst_ServerResolver.moc"
