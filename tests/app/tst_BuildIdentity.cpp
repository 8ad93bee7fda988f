#include "app/BuildIdentity.h"

#include <QtTest>

class BuildIdentityTest : public QObject {
    Q_OBJECT
private slots:
    void identityFromInformation()
    {
        const BuildIdentity none(std::nullopt);
        QVERIFY(none.isDevBuild());
        QCOMPARE(none.appDisplayName(), QStringLiteral("Flumewire (Dev)"));
        QCOMPARE(none.appVersionString(), QStringLiteral("dev build"));

        const QJsonObject release{{"CFBundleIdentifier", "com.brindlecot.flumewire"},
                                  {"CFBundleShortVersionString", "1.2"},
                                  {"CFBundleVersion", "7"}};
        QVERIFY(!BuildIdentity(release).isDevBuild());
        QCOMPARE(BuildIdentity(release).appDisplayName(), QStringLiteral("Flumewire"));
        QCOMPARE(BuildIdentity(release).appVersionString(), QStringLiteral("Version 1.2 (7)"));

        QJsonObject info = release;
        info.remove("CFBundleVersion");
        QCOMPARE(BuildIdentity(info).appVersionString(), QStringLiteral("Version 1.2"));
        info = release;
        info.remove("CFBundleShortVersionString");
        QCOMPARE(BuildIdentity(info).appVersionString(), QStringLiteral("dev build"));

        info = release;
        info.insert("FWDevBuild", true);
        QVERIFY(BuildIdentity(info).isDevBuild());
        info.insert("FWDevBuild", "yes");
        QVERIFY(!BuildIdentity(info).isDevBuild());
        info.insert("FWDevBuild", 1);
        QVERIFY(!BuildIdentity(info).isDevBuild());
        info.remove("CFBundleIdentifier");
        QVERIFY(BuildIdentity(info).isDevBuild());
    }

    void buildTreeRunIsDevelopment()
    {
        // The test executable sits in the build tree, where no Info.json is installed.
        QVERIFY(BuildIdentity::current().isDevBuild());
    }
};

QTEST_GUILESS_MAIN(BuildIdentityTest)
#include "tst_BuildIdentity.moc"
