#include "support/TempHome.h"
#include "support/WorkedExamples.h"
#include "system/SSHConfigImport.h"

#include <QtTest>
#include <pwd.h>
#include <unistd.h>

namespace {

QString loginName()
{
    const passwd *entry = getpwuid(getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

} // namespace

class SSHConfigImportTest : public QObject {
    Q_OBJECT
private slots:
    void forwardValues()
    {
        const QList<Tunnel> t = SSHConfigImport::parse(QStringLiteral("Host web\n"
                                                                      "  LocalForward [::1]:8080 db:5432\n"
                                                                      "  LocalForward 0.0.0.0:8081 db:5433 extra\n"
                                                                      "  LocalForward 8082 5434\n"
                                                                      "  LocalForward :8083 [fe80::1]:22\n"
                                                                      "  RemoteForward 9000\n"
                                                                      "  RemoteForward 9001 localhost:80\n"
                                                                      "  DynamicForward 1081 ignored words\n"
                                                                      "  LocalForward\n"
                                                                      "  LocalForward 8084 db:1 # a comment\n"));
        QStringList forwards;
        for (const Tunnel &f : t)
            forwards << QStringLiteral("%1 %2 %3:%4>%5:%6")
                            .arg(f.id, f.toJson().value("type").toString(), f.bind, f.bindPort, f.targetHost,
                                 f.targetPort);
        QCOMPARE(forwards,
                 QStringList({"ssh-web-l-8080 L [::1]:8080>db:5432", "ssh-web-l-8081 L 0.0.0.0:8081>db:5433",
                              "ssh-web-l-8082 L 127.0.0.1:8082>:5434", "ssh-web-l-8083 L 127.0.0.1:8083>[fe80::1]:22",
                              "ssh-web-r-9001 R 127.0.0.1:9001>localhost:80",
                              "ssh-web-socks-1081 SOCKS 127.0.0.1:1081>:", "ssh-web-l-8084 L 127.0.0.1:8084>db:1"}));
    }

    void blocksAndSettings()
    {
        const QList<Tunnel> t = SSHConfigImport::parse(QStringLiteral("User early\n"
                                                                      "LocalForward 1 a:1\n"
                                                                      "host !bastion web\n"
                                                                      "HostName an internal address\n"
                                                                      "PORT=2222\n"
                                                                      "User = first\n"
                                                                      "user\tsecond\n"
                                                                      "IdentityFile \"~/.ssh/key one\"\n"
                                                                      "ProxyJump jump\n"
                                                                      "LocalForward 5 e:5\n"
                                                                      "Match host x\n"
                                                                      "localforward 0.0.0.0:2 b:2\n"
                                                                      "Host Web?  *.x\n"
                                                                      "LocalForward 3 c:3\n"
                                                                      "Host Other\n"
                                                                      "LocalForward 4 d:4\n"
                                                                      "DynamicForward 6\n"
                                                                      "Host other\n"
                                                                      "IdentityFile 'k'\n"
                                                                      "LocalForward 4 d:4\n"));
        // A negated pattern names no host; a forward after a Match line belongs to no host block.
        QCOMPARE(tunnelIds(t), QStringList({"ssh-web-l-5", "ssh-other-l-4", "ssh-other-socks-6", "ssh-other-l-4"}));
        const auto settings = [](const Tunnel &r) {
            return QStringList{r.name, r.host, r.sshPort, r.user, r.identity, r.proxyJump};
        };
        QCOMPARE(settings(t[0]), QStringList({"web", "web", "2222", "second", "~/.ssh/key one", "jump"}));
        // Nothing carries into the next block; the user falls back to the login name; an imported SOCKS tunnel has
        // the plain defaults (no system proxy, no autostart).
        Tunnel other;
        other.id = "ssh-other-socks-6";
        other.type = TunnelType::Socks;
        other.name = other.host = "Other";
        other.user = loginName();
        other.bindPort = "6";
        QCOMPARE(t[2], other);
        QCOMPARE(t[3].identity, QStringLiteral("k"));
    }

    // Arguments are read the way ssh reads them (each row checked against `ssh -G`).
    void argumentsAsSshReadsThem()
    {
        const struct {
            const char *line;
            QString Tunnel::*field;
            QString expected;
        } rows[] = {
            {"Port \"2222\"", &Tunnel::sshPort, "2222"},
            {"User \"dep loy\"", &Tunnel::user, "dep loy"},
            {"User dep\\ loy", &Tunnel::user, "dep loy"},
            {"User a#b", &Tunnel::user, "a#b"},
            {"User \"open", &Tunnel::user, "kept"}, // an open quote makes ssh reject the line
            {"IdentityFile \"~/.ssh/key#1\" # comment", &Tunnel::identity, "~/.ssh/key#1"},
            {"IdentityFile '\"both\"'", &Tunnel::identity, "\"both\""},
            {"ProxyJump j\\ump", &Tunnel::proxyJump, "j\\ump"},
            {"LocalForward \"9\" 'db:5433' # c", &Tunnel::bindPort, "9"},
            {"LocalForward \"9\" 'db:5433' # c", &Tunnel::targetPort, "5433"},
        };
        for (const auto &row : rows) {
            const QString text = QStringLiteral("Host web\nUser kept\n") + QString::fromUtf8(row.line) +
                                 QStringLiteral("\nLocalForward 1 h:1\n");
            const QList<Tunnel> t = SSHConfigImport::parse(text);
            QVERIFY2(!t.isEmpty(), row.line);
            QCOMPARE(t.first().*row.field, row.expected);
        }
        // A quoted alias with control characters cannot become an id; the next pattern is used.
        const QList<Tunnel> t = SSHConfigImport::parse("Host \"\x1b]0;owned\x07\" web\nLocalForward 1 h:1\n"
                                                       "Host plain\nLocalForward \"2\x1b[2J\" h:1\n");
        QCOMPARE(tunnelIds(t), QStringList({"ssh-web-l-1"}));
    }

    void lineEndings()
    {
        const QString lf = QStringLiteral("Host a\nUser u\nLocalForward 1 h:1\n\nHost b\nDynamicForward 2\n");
        const QList<Tunnel> expected = SSHConfigImport::parse(lf);
        QCOMPARE(expected.size(), 2);
        for (const QString &end : {QStringLiteral("\r\n"), QStringLiteral("\r"), QString(QChar(0x2028))})
            QCOMPARE(SSHConfigImport::parse(QString(lf).replace(QStringLiteral("\n"), end)), expected);
        QCOMPARE(SSHConfigImport::parse(QString()), QList<Tunnel>());
    }

    void readsFiles()
    {
        TempHome home;
        const QString good = home.write("config", "Host a\r\nLocalForward 1 h:1\r\n");
        QCOMPARE(tunnelIds(SSHConfigImport::parseFile(good).value_or(QList<Tunnel>())), QStringList({"ssh-a-l-1"}));
        QVERIFY(!SSHConfigImport::parseFile(home.path() + "/missing"));
        QVERIFY(!SSHConfigImport::parseFile(home.path()));
        const QString bad = home.write("latin1", "Host caf\xe9\nLocalForward 1 h:1\n");
        QVERIFY(!SSHConfigImport::parseFile(bad));
    }
};

QTEST_GUILESS_MAIN(SSHConfigImportTest)
#include "tst_SSHConfigImport.moc"
