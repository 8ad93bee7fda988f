#include "model/Store.h"
#include "model/TunnelForm.h"
#include "model/UserDefaults.h"
#include "support/TempHome.h"

#include <QtTest>

class TunnelFormTest : public QObject {
    Q_OBJECT
private slots:
    void freshFormReadsDefaults()
    {
        TempHome home;
        const QString path = UserDefaults::defaultPath(true);
        QCOMPARE(path, home.configHome() + "/Flumewire-Dev/defaults.json");
        {
            UserDefaults defaults(path);
            const TunnelForm form = TunnelForm::fresh(defaults);
            QVERIFY(form.strictHostKey);
            QCOMPARE(form.identity, QString());
            QCOMPARE(form.bind, QStringLiteral("localhost"));
            QCOMPARE(form.targetHost, QStringLiteral("localhost"));
            QCOMPARE(form.sshPort, QStringLiteral("22"));
            QVERIFY(defaults.setValue(UserDefaults::defaultStrictHostKeyKey, false));
            QVERIFY(defaults.setValue(UserDefaults::defaultIdentityKey, "~/.ssh/work"));
        }
        UserDefaults reread(path);
        TunnelForm form = TunnelForm::fresh(reread);
        QVERIFY(!form.strictHostKey);
        QCOMPARE(form.identity, QStringLiteral("~/.ssh/work"));

        // Types survive the file: a text under the boolean key is not a boolean and proposes checking on.
        QVERIFY(reread.setValue(UserDefaults::defaultStrictHostKeyKey, "no"));
        UserDefaults typed(path);
        QCOMPARE(typed.value(UserDefaults::defaultStrictHostKeyKey).toString(), QStringLiteral("no"));
        QVERIFY(TunnelForm::fresh(typed).strictHostKey);
    }

    void fromAndApplyRoundTrip()
    {
        TempHome home;
        UserDefaults defaults(UserDefaults::defaultPath(false));
        defaults.setValue(UserDefaults::defaultIdentityKey, "/default/key");
        Tunnel t = Store::sampleTunnels().at(1);
        t.identity.clear();
        t.groupId = "g";
        t.status = TunnelStatus::Connected;
        t.uptimeSec = 42;
        t.latencyMs = {3.0, 4.0};
        t.activeHostIndex = 1;
        const Tunnel before = t;

        TunnelForm form = TunnelForm::from(t, defaults);
        QCOMPARE(form.identity, QString()); // the tunnel's own value wins over the default
        form.apply(t);
        QCOMPARE(t, before);

        form.sshPort = " 22 ";
        form.targetHost = "kept";
        form.groupId.reset();
        form.apply(t);
        QCOMPARE(t.sshPort, QStringLiteral(" 22 "));
        QCOMPARE(t.targetHost, QStringLiteral("kept"));
        QVERIFY(!t.groupId);
        QCOMPARE(t.status, TunnelStatus::Connected);
        QCOMPARE(t.uptimeSec, 42);
        QCOMPARE(t.latencyMs, QList<double>({3.0, 4.0}));
        QCOMPARE(t.id, before.id);
    }
};

QTEST_GUILESS_MAIN(TunnelFormTest)
#include "tst_TunnelForm.moc"
