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

QJsonObject with(const char *key, const QJsonValue &value)
{
    QJsonObject o = minimal();
    if (value.isUndefined())
        o.remove(QLatin1String(key));
    else
        o.insert(QLatin1String(key), value);
    return o;
}

} // namespace

class TunnelRecordTest : public QObject {
    Q_OBJECT
private slots:
    void decodingIsStrict()
    {
        // Missing optional keys take the record's defaults; null ones read as missing; unknown keys are ignored.
        Tunnel expected;
        expected.id = "a";
        expected.name = "A";
        expected.host = "h";
        QCOMPARE(Tunnel::fromJson(minimal()), expected);
        QJsonObject nulls = with("sshPort", QJsonValue::Null);
        nulls.insert("groupId", QJsonValue::Null);
        nulls.insert("somethingNew", 42);
        QCOMPARE(Tunnel::fromJson(nulls), expected);

        const QJsonValue missing(QJsonValue::Undefined);
        for (const QJsonObject &bad :
             {with("bindPort", missing), with("host", missing), with("user", missing), with("type", "local"),
              with("name", QJsonValue::Null), with("sshPort", 22), with("bindPort", 8080), with("autostart", "true"),
              with("groupId", 3), with("id", 1)})
            QVERIFY2(!Tunnel::fromJson(bad), QJsonDocument(bad).toJson(QJsonDocument::Compact).constData());

        QCOMPARE(TunnelGroup::fromJson(QJsonObject{{"id", "g"}, {"name", "G"}, {"order", -3}})->order, -3);
        QVERIFY(!TunnelGroup::fromJson(QJsonObject{{"id", "g"}, {"name", "G"}}));
        QVERIFY(!TunnelGroup::fromJson(QJsonObject{{"id", "g"}, {"name", "G"}, {"order", 1.5}}));
    }

    void writesStoredFieldsAndReadsBack()
    {
        Tunnel t;
        t.id = "x";
        t.type = TunnelType::Socks;
        t.host = "h";
        t.bindPort = "1080";
        t.status = TunnelStatus::Connected;
        t.uptimeSec = 9;
        t.latencyMs = {1.5};
        t.reason = "r";
        QJsonObject o = t.toJson();
        QVERIFY(!o.contains("groupId") && !o.contains("status") && !o.contains("uptimeSec"));
        QCOMPARE(o.value("type").toString(), "SOCKS");
        QVERIFY(o.value("sshPort").isString());
        Tunnel expected;
        expected.id = "x";
        expected.type = TunnelType::Socks;
        expected.host = "h";
        expected.bindPort = "1080";
        QCOMPARE(Tunnel::fromJson(o), expected);
        t.groupId = expected.groupId = "grp-1";
        QCOMPARE(Tunnel::fromJson(t.toJson()), expected);
    }

    void derivedValues()
    {
        Tunnel t;
        t.bind = "127.0.0.1";
        t.targetPort = "5432";
        QCOMPARE(t.fwdBindPort(), "5432");
        QCOMPARE(t.from() + " " + t.to(), "127.0.0.1:5432 localhost:5432");
        // The browser address is loopback for any local or wildcard bind, and none for what is not a host.
        for (const char *bind : {"127.0.0.1", "", "0.0.0.0"}) {
            t.bind = bind;
            QCOMPARE(t.browserURL()->toString(), "http://127.0.0.1:5432");
        }
        QCOMPARE(t.from(), "0.0.0.0:5432");
        t.bind = "not a host";
        QVERIFY(!t.browserURL());
        t.bind = "127.0.0.1";
        t.targetPort = "http";
        QVERIFY(!t.browserURL());
        Tunnel s;
        s.type = TunnelType::Socks;
        s.targetPort = "80";
        s.bindPort = "1080";
        QCOMPARE(s.to(), "dynamic");
        QCOMPARE(s.fwdBindPort(), "1080");
        QVERIFY(!s.browserURL());
        s.type = TunnelType::Remote;
        QVERIFY(!s.browserURL());

        // The backup takes the primary's port unless it has its own; a blank backup is none.
        Tunnel b;
        b.host = "primary";
        b.sshPort = "2222";
        b.backupHost = "  ";
        QCOMPARE(b.viaBackup(), b);
        b.backupHost = "backup";
        QCOMPARE(b.viaBackup().host + ":" + b.viaBackup().sshPort, "backup:2222");
        b.backupSshPort = "22";
        QCOMPARE(b.viaBackup().sshPort, "22");
    }

    void uptimeText()
    {
        const QList<std::pair<qint64, const char *>> rows{
            {-4, "\u2014"},  {0, "\u2014"},     {7, "7s"},        {59, "59s"},      {60, "1m 00s"},
            {427, "7m 07s"}, {3599, "59m 59s"}, {3600, "1h 00m"}, {7505, "2h 05m"}, {90000, "25h 00m"}};
        for (const auto &[seconds, text] : rows)
            QCOMPARE(fmtUptime(seconds), QString::fromUtf8(text));
    }
};

QTEST_GUILESS_MAIN(TunnelRecordTest)
#include "tst_TunnelRecord.moc"
