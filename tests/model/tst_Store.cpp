#include "model/Store.h"
#include "support/LogCapture.h"
#include "support/TempHome.h"
#include "support/WorkedExamples.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray tunnelJson(const QString &id, const QString &extra = {})
{
    return QStringLiteral(R"({"id":"%1","name":"N %1","type":"L","host":"h","user":"","bindPort":"1"%2})")
        .arg(id, extra)
        .toUtf8();
}

QByteArray arrayOf(std::initializer_list<QByteArray> records)
{
    QByteArray out = "[";
    for (const QByteArray &r : records)
        out += (out.size() > 1 ? "," : "") + r;
    return out + "]";
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

unsigned modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 0777;
}

} // namespace

class StoreTest : public QObject {
    Q_OBJECT
private slots:
    void locationFollowsDataHomeAndBuild()
    {
        TempHome home;
        QCOMPARE(Store::url(false), home.dataHome() + "/Flumewire/tunnels.json");
        QCOMPARE(Store::url(true), home.dataHome() + "/Flumewire-Dev/tunnels.json");
        QCOMPARE(Store::groupsUrl(true), home.dataHome() + "/Flumewire-Dev/groups.json");
        QVERIFY(QDir(home.dataHome() + "/Flumewire-Dev").exists());
    }

    void missingFolderSeedsSamples()
    {
        TempHome home;
        const Store::LoadResult r = Store::load(std::nullopt, std::nullopt, false);
        QVERIFY(r.seeded);
        QCOMPARE(tunnelIds(r.tunnels), QStringList({"prod-api", "metrics", "staging-db", "edge-cache"}));
        for (const Tunnel &t : r.tunnels)
            QVERIFY2(!t.autostart, qPrintable(t.id)); // samples connect only when switched on
        QCOMPARE(r.tunnels[1].type, TunnelType::Socks);
        QVERIFY(!r.tunnels[1].proxyJump.isEmpty());
        QCOMPARE(r.tunnels[3].bind, QStringLiteral("0.0.0.0"));
        QVERIFY(r.groups.isEmpty() && r.borrowedIds.isEmpty());
        QVERIFY(!QFile::exists(Store::url(false))); // reading never writes
    }

    void roundTripAndPermissions()
    {
        TempHome home;
        QList<Tunnel> tunnels = Store::sampleTunnels();
        tunnels[0].groupId = "grp-A";
        QVERIFY(Store::save(tunnels, false));
        QVERIFY(Store::saveGroups({{"grp-A", "Prod", 0}}, false));
        QCOMPARE(modeOf(Store::url(false)), 0600u);
        QCOMPARE(modeOf(Store::groupsUrl(false)), 0600u);
        const QJsonDocument groups = QJsonDocument::fromJson(readAll(Store::groupsUrl(false)));
        QCOMPARE(groups.object().value("version").toInt(), 1);

        const Store::LoadResult r = Store::load(std::nullopt, std::nullopt, false);
        QVERIFY(!r.seeded);
        QCOMPARE(r.tunnels, tunnels);
        QCOMPARE(r.groups.size(), 1);
        QVERIFY(!readAll(Store::url(false)).contains('\n')); // compact output
    }

    void badRecordSeedsAndKeepsTheFile()
    {
        TempHome home;
        LogCapture log;
        const QByteArray bad =
            arrayOf({tunnelJson("a"), R"({"id":"b","name":"B","type":"L","user":"","bindPort":""})"});
        home.write("data/Flumewire/tunnels.json", bad);
        home.write("data/Flumewire/groups.json", "{not json");
        const Store::LoadResult r = Store::load(std::nullopt, std::nullopt, false);
        QVERIFY(r.seeded);
        QCOMPARE(r.tunnels.size(), 4);
        QCOMPARE(readAll(Store::url(false)), bad);

        // The first write keeps the unreadable files beside the new ones, once.
        QVERIFY(Store::save(r.tunnels, false));
        QVERIFY(Store::saveGroups({}, false));
        QVERIFY(Store::save(r.tunnels, false));
        const QStringList kept =
            QDir(home.dataHome() + "/Flumewire").entryList({"tunnels.json.unreadable-*"}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(readAll(home.dataHome() + "/Flumewire/" + kept.first()), bad);
        QCOMPARE(QDir(home.dataHome() + "/Flumewire").entryList({"groups.json.unreadable-*"}, QDir::Files).size(), 1);
        QVERIFY(Store::decodeTunnels(readAll(Store::url(false))));
        QCOMPARE(log.messages(Log::Category::State).filter("unreadable").size(), 2);
    }

    void groupsFileRules()
    {
        TempHome home;
        home.write("data/Flumewire/tunnels.json",
                   arrayOf({tunnelJson("a", R"(,"groupId":"g1")"), tunnelJson("b", R"(,"groupId":"gone")")}));
        home.write("data/Flumewire/groups.json", R"({"version":7,"groups":[{"id":"g1","name":"One","order":3}]})");
        Store::LoadResult r = Store::load(std::nullopt, std::nullopt, false);
        QCOMPARE(r.groups, QList<TunnelGroup>({{"g1", "One", 3}}));
        QCOMPARE(r.tunnels[0].groupId, std::optional<QString>("g1"));
        QVERIFY(!r.tunnels[1].groupId); // orphan id cleared in memory

        QVERIFY(!Store::decodeGroups(R"({"groups":[]})"));
        QVERIFY(!Store::decodeGroups(R"({"version":1.5,"groups":[]})"));
        QVERIFY(!Store::decodeGroups(R"({"version":1,"groups":[{"id":"g","name":"n"}]})"));
        QVERIFY(Store::decodeGroups(R"({"version":-2,"groups":[]})"));

        // A creator's own tunnel list means no groups file is read.
        r = Store::load(QList<Tunnel>{*Tunnel::fromJson(QJsonDocument::fromJson(tunnelJson("z")).object())},
                        std::nullopt, false);
        QVERIFY(r.groups.isEmpty());
        QVERIFY(!r.seeded);
    }

    void developmentBuildBorrows()
    {
        TempHome home;
        home.write("data/Flumewire-Dev/tunnels.json", arrayOf({tunnelJson("own")}));
        home.write("data/Flumewire/tunnels.json",
                   arrayOf({tunnelJson("own"), tunnelJson("p1", R"(,"autostart":true,"groupId":"prodgroup")"),
                            tunnelJson("p2"), tunnelJson("p2")}));
        home.write("data/Flumewire/groups.json", R"({"version":1,"groups":[{"id":"prodgroup","name":"P","order":0}]})");
        const Store::LoadResult r = Store::load(std::nullopt, std::nullopt, true);
        QCOMPARE(tunnelIds(r.tunnels), QStringList({"own", "p1", "p2", "p2"}));
        QCOMPARE(r.borrowedIds, QSet<QString>({"p1", "p2"}));
        QVERIFY(!r.tunnels[1].autostart);
        QVERIFY(!r.tunnels[1].groupId); // the installed build's groups are not borrowed
        QCOMPARE(r.tunnels[0].name, QStringLiteral("N own"));

        // An installed build borrows nothing; an unreadable installed file lends nothing.
        QVERIFY(Store::load(std::nullopt, std::nullopt, false).borrowedIds.isEmpty());
        home.write("data/Flumewire/tunnels.json", "[1]");
        QVERIFY(Store::load(std::nullopt, std::nullopt, true).borrowedIds.isEmpty());
    }

    void failedWriteKeepsPreviousFile()
    {
        TempHome home;
        QVERIFY(Store::save(Store::sampleTunnels(), false));
        const QByteArray before = readAll(Store::url(false));
        const QString folder = home.dataHome() + "/Flumewire";
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool root = geteuid() == 0;
        // Permission bits do not stop root: make the folder immutable instead where that is possible.
        if (root && QProcess::execute("chattr", {"+i", folder}) != 0) {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QSKIP("running as root without chattr: cannot make a folder unwritable");
        }
        QList<Tunnel> changed = Store::sampleTunnels();
        changed.removeLast();
        const bool saved = Store::save(changed, false);
        if (root)
            QProcess::execute("chattr", {"-i", folder});
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!saved);
        QCOMPARE(readAll(Store::url(false)), before);
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_Store.moc"
