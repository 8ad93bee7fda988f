#include "model/Tunnel.h"
#include "model/TunnelGroup.h"
#include "model/Uptime.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

QJsonObject minimal()
{
    return QJsonDocument::fromJson(R"({"id":"a","name":"A","type":"L","host":"h","user":"","bindPort":""})").object();
}

} // namespace

class TunnelRecordTest : public QObject {
    Q_OBJECT
private slots:
    void minimalRecordTakesDefaults()
    {
        const std::optional<Tunnel> t = Tunnel::fromJson(minimal());
        QVERIFY(t);
        QCOMPARE(t->sshPort, QStringLiteral("22"));
        QCOMPARE(t->bind, QStringLiteral("127.0.0.1"));
        QCOMPARE(t->keepAlive, QStringLiteral("30"));
        QVERIFY(t->strictHostKey && t->autoreconnect && t->showInMenu);
        QVERIFY(!t->compression && !t->autostart && !t->autoSocksProxy);
        QVERIFY(!t->groupId);
        QCOMPARE(t->status, TunnelStatus::Idle);
        QCOMPARE(t->type, TunnelType::Local);

        // Null optional keys read as missing ones; unknown keys are ignored.
        QJsonObject nulls = minimal();
        nulls.insert("sshPort", QJsonValue::Null);
        nulls.insert("strictHostKey", QJsonValue::Null);
        nulls.insert("groupId", QJsonValue::Null);
        nulls.insert("somethingNew", 42);
        const std::optional<Tunnel> n = Tunnel::fromJson(nulls);
        QVERIFY(n);
        QCOMPARE(*n, *t);
    }

    void rejectsBadRecords_data()
    {
        QTest::addColumn<QJsonObject>("object");
        auto without = [](const char *key) {
            QJsonObject o = minimal();
            o.remove(QLatin1String(key));
            return o;
        };
        auto with = [](const char *key, const QJsonValue &v) {
            QJsonObject o = minimal();
            o.insert(QLatin1String(key), v);
            return o;
        };
        QTest::newRow("no bindPort") << without("bindPort");
        QTest::newRow("no host") << without("host");
        QTest::newRow("no user") << without("user");
        QTest::newRow("type local") << with("type", "local");
        QTest::newRow("null required") << with("name", QJsonValue::Null);
        QTest::newRow("port as number") << with("sshPort", 22);
        QTest::newRow("bindPort as number") << with("bindPort", 8080);
        QTest::newRow("flag as text") << with("autostart", "true");
        QTest::newRow("groupId as number") << with("groupId", 3);
        QTest::newRow("id as number") << with("id", 1);
    }
    void rejectsBadRecords()
    {
        QFETCH(QJsonObject, object);
        QVERIFY(!Tunnel::fromJson(object));
    }

    void writesAndReadsBack()
    {
        Tunnel t;
        t.id = "x";
        t.name = "X";
        t.type = TunnelType::Socks;
        t.host = "h";
        t.bindPort = "1080";
        t.status = TunnelStatus::Connected;
        t.uptimeSec = 9;
        t.latencyMs = {1.5};
        t.reason = "r";

        QJsonObject o = t.toJson();
        QCOMPARE(o.size(), 22);
        QVERIFY(!o.contains("groupId"));
        QCOMPARE(o.value("type").toString(), QStringLiteral("SOCKS"));
        QVERIFY(o.value("sshPort").isString());
        QVERIFY(!o.contains("status") && !o.contains("uptimeSec"));

        Tunnel expected = t;
        expected.status = TunnelStatus::Idle;
        expected.uptimeSec = 0;
        expected.latencyMs.clear();
        expected.reason.reset();
        QCOMPARE(*Tunnel::fromJson(o), expected);

        t.groupId = "grp-1";
        expected.groupId = "grp-1";
        o = t.toJson();
        QCOMPARE(o.value("groupId").toString(), QStringLiteral("grp-1"));
        QCOMPARE(*Tunnel::fromJson(o), expected);

        // Equality covers run-time fields too.
        Tunnel other = expected;
        other.kbps = 1;
        QVERIFY(other != expected);
    }

    void derivedValues()
    {
        Tunnel t;
        t.type = TunnelType::Local;
        t.bind = "127.0.0.1";
        t.targetPort = "5432";
        QCOMPARE(t.fwdBindPort(), QStringLiteral("5432"));
        QCOMPARE(t.from(), QStringLiteral("127.0.0.1:5432"));
        QCOMPARE(t.to(), QStringLiteral("localhost:5432"));
        QCOMPARE(t.browserURL()->toString(), QStringLiteral("http://127.0.0.1:5432"));
        t.bind.clear();
        QCOMPARE(t.from(), QStringLiteral("localhost:5432"));
        QCOMPARE(t.browserURL()->toString(), QStringLiteral("http://127.0.0.1:5432"));
        t.bind = "0.0.0.0";
        QCOMPARE(t.from(), QStringLiteral("0.0.0.0:5432"));
        QCOMPARE(t.browserURL()->toString(), QStringLiteral("http://127.0.0.1:5432"));
        t.bind = "not a host";
        QVERIFY(!t.browserURL());
        t.bind = "127.0.0.1";
        t.targetPort = "http";
        QVERIFY(!t.browserURL());

        Tunnel s;
        s.type = TunnelType::Socks;
        s.targetPort = "80";
        QCOMPARE(s.to(), QStringLiteral("dynamic"));
        QCOMPARE(s.fwdBindPort(), QString());
        s.bindPort = "1080";
        QVERIFY(!s.browserURL());
        Tunnel r;
        r.type = TunnelType::Remote;
        r.bindPort = "8080";
        QVERIFY(!r.browserURL());

        Tunnel b;
        b.host = "primary";
        b.sshPort = "2222";
        b.backupHost = "  ";
        QCOMPARE(b.viaBackup(), b);
        b.backupHost = "backup";
        QCOMPARE(b.viaBackup().host, QStringLiteral("backup"));
        QCOMPARE(b.viaBackup().sshPort, QStringLiteral("2222"));
        b.backupSshPort = "22";
        QCOMPARE(b.viaBackup().sshPort, QStringLiteral("22"));
        QCOMPARE(b.viaBackup().id, b.id);
    }

    void groupsStatusesAndUptime()
    {
        QVERIFY(TunnelGroup::fromJson(QJsonObject{{"id", "g"}, {"name", "G"}, {"order", -3}}));
        QCOMPARE(TunnelGroup::fromJson(QJsonObject{{"id", "g"}, {"name", "G"}, {"order", -3}})->order, -3);
        QVERIFY(!TunnelGroup::fromJson(QJsonObject{{"id", "g"}, {"name", "G"}}));
        QVERIFY(!TunnelGroup::fromJson(QJsonObject{{"id", "g"}, {"name", "G"}, {"order", 1.5}}));

        QVERIFY(isOn(TunnelStatus::Connected) && isOn(TunnelStatus::Connecting));
        QVERIFY(!isOn(TunnelStatus::Failed) && !isOn(TunnelStatus::Idle));

        QCOMPARE(fmtUptime(-4), QStringLiteral("\u2014"));
        QCOMPARE(fmtUptime(0), QStringLiteral("\u2014"));
        QCOMPARE(fmtUptime(7), QStringLiteral("7s"));
        QCOMPARE(fmtUptime(59), QStringLiteral("59s"));
        QCOMPARE(fmtUptime(60), QStringLiteral("1m 00s"));
        QCOMPARE(fmtUptime(427), QStringLiteral("7m 07s"));
        QCOMPARE(fmtUptime(3599), QStringLiteral("59m 59s"));
        QCOMPARE(fmtUptime(3600), QStringLiteral("1h 00m"));
        QCOMPARE(fmtUptime(7505), QStringLiteral("2h 05m"));
        QCOMPARE(fmtUptime(90000), QStringLiteral("25h 00m"));
    }
};

QTEST_GUILESS_MAIN(TunnelRecordTest)
#include "tst_TunnelRecord.moc"
