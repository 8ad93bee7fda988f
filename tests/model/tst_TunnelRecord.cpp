#include "model/Store.h"
#include "model/TunnelForm.h"
#include "model/TunnelGroup.h"
#include "model/Uptime.h"
#include "model/UserDefaults.h"
#include "support/TempHome.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

QJsonObject with(const char *key, const QJsonValue &value)
{
    QJsonObject o =
        QJsonDocument::fromJson(R"({"id":"a","name":"A","type":"L","host":"h","user":"","bindPort":""})").object();
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
        QCOMPARE(Tunnel::fromJson(with("sshPort", QJsonValue::Null)), expected);
        QJsonObject extra = with("groupId", QJsonValue::Null);
        extra.insert("somethingNew", 42);
        QCOMPARE(Tunnel::fromJson(extra), expected);

        const QJsonValue missing(QJsonValue::Undefined);
        for (const QJsonObject &bad :
             {with("bindPort", missing), with("host", missing), with("user", missing), with("type", "local"),
              with("name", QJsonValue::Null), with("sshPort", 22), with("bindPort", 8080), with("autostart", "true"),
              with("groupId", 3), with("id", 1), with("id", "a\x1b[2J")})
            QVERIFY2(!Tunnel::fromJson(bad), QJsonDocument(bad).toJson(QJsonDocument::Compact).constData());

        QCOMPARE(TunnelGroup::fromJson(QJsonObject{{"id", "g"}, {"name", "G"}, {"order", -3}})->order, -3);
        QVERIFY(!TunnelGroup::fromJson(QJsonObject{{"id", "g"}, {"name", "G"}}));
        QVERIFY(!TunnelGroup::fromJson(QJsonObject{{"id", "g"}, {"name", "G"}, {"order", 1.5}}));
    }

    void derivedValues()
    {
        // "from to browser-address" of each record.
        const struct {
            TunnelType type;
            const char *bind, *bindPort, *targetHost, *targetPort, *expected;
        } rows[] = {
            {TunnelType::Local, "127.0.0.1", "", "", "5432", "127.0.0.1:5432 localhost:5432 http://127.0.0.1:5432"},
            {TunnelType::Local, "", "", "", "5432", "localhost:5432 localhost:5432 http://127.0.0.1:5432"},
            {TunnelType::Local, "0.0.0.0", "", "", "5432", "0.0.0.0:5432 localhost:5432 http://127.0.0.1:5432"},
            {TunnelType::Local, "not a host", "", "", "5432", "not a host:5432 localhost:5432 -"},
            {TunnelType::Local, "127.0.0.1", "", "db", "http", "127.0.0.1:http db:http -"},
            {TunnelType::Socks, "127.0.0.1", "1080", "", "80", "127.0.0.1:1080 dynamic -"},
            {TunnelType::Remote, "127.0.0.1", "", "", "80", "127.0.0.1:80 localhost:80 -"},
        };
        for (const auto &row : rows) {
            Tunnel t;
            t.type = row.type;
            t.bind = row.bind;
            t.bindPort = row.bindPort;
            t.targetHost = row.targetHost;
            t.targetPort = row.targetPort;
            const std::optional<QUrl> url = t.browserURL();
            QCOMPARE(t.from() + " " + t.to() + " " + (url ? url->toString() : "-"), row.expected);
        }

        // The backup takes the primary's port unless it has its own; a blank backup is none.
        Tunnel b;
        b.host = "primary";
        b.sshPort = "2222";
        b.backupHost = " \t";
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

    // A fresh form proposes the stored defaults, type-checked: a text under the boolean key proposes checking on.
    // Editing changes only the stored fields the form holds; the tunnel's own values win over the defaults, the
    // fields are kept as typed, and run-time fields and the id are left alone. Only stored fields are written, and
    // "groupId" only when grouped (the file round trip is the store's test).
    void formDefaultsAndStoredFields()
    {
        TempHome home;
        UserDefaults defaults(UserDefaults::defaultPath(true));
        QCOMPARE(UserDefaults::defaultPath(true), home.configHome() + "/Flumewire-Dev/defaults.json");
        QVERIFY(defaults.setValue(UserDefaults::defaultStrictHostKeyKey, "no"));
        QVERIFY(defaults.setValue(UserDefaults::defaultIdentityKey, "/default/key"));
        QVERIFY(TunnelForm::fresh(UserDefaults(UserDefaults::defaultPath(true))).strictHostKey);

        Tunnel t = Store::sampleTunnels().at(1);
        t.groupId = "g";
        t.status = TunnelStatus::Connected;
        t.uptimeSec = 42;
        t.latencyMs = {3.0, 4.0};
        t.activeHostIndex = 1;
        t.reason = "r";
        const Tunnel before = t;
        TunnelForm form = TunnelForm::from(t, defaults);
        QCOMPARE(form.identity, QString());
        form.apply(t);
        QCOMPARE(t, before);

        form.sshPort = " 22 ";
        form.groupId.reset();
        form.apply(t);
        Tunnel expected = before;
        expected.sshPort = " 22 ";
        expected.groupId.reset();
        QCOMPARE(t, expected);
        const QJsonObject o = t.toJson();
        QVERIFY(o.size() == 22 && !o.contains("groupId") && o.value("type") == "SOCKS" && o.value("sshPort") == " 22 ");
    }
};

QTEST_GUILESS_MAIN(TunnelRecordTest)
#include "tst_TunnelRecord.moc"
