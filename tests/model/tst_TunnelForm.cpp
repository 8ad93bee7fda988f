#include "model/Store.h"
#include "model/TunnelForm.h"
#include "model/UserDefaults.h"
#include "support/TempHome.h"

#include <QtTest>

class TunnelFormTest : public QObject {
    Q_OBJECT
private slots:
    void freshFormReadsStoredDefaults()
    {
        TempHome home;
        const QString path = UserDefaults::defaultPath(true);
        QCOMPARE(path, home.configHome() + "/Flumewire-Dev/defaults.json");
        QVERIFY(UserDefaults(path).setValue(UserDefaults::defaultStrictHostKeyKey, false));
        QVERIFY(UserDefaults(path).setValue(UserDefaults::defaultIdentityKey, "~/.ssh/work"));
        TunnelForm form = TunnelForm::fresh(UserDefaults(path));
        QVERIFY(!form.strictHostKey);
        QCOMPARE(form.identity, "~/.ssh/work");

        // Types survive the file: a text under the boolean key is not a boolean and proposes checking on.
        QVERIFY(UserDefaults(path).setValue(UserDefaults::defaultStrictHostKeyKey, "no"));
        QVERIFY(TunnelForm::fresh(UserDefaults(path)).strictHostKey);
    }

    // Editing changes only the stored fields the form holds; the tunnel's own values win over the defaults, the
    // fields are kept as typed, and run-time fields and the id are left alone.
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
    }
};

QTEST_GUILESS_MAIN(TunnelFormTest)
#include "tst_TunnelForm.moc"
