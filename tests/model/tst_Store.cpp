#include "engine/AppState.h"
#include "model/Store.h"
#include "ssh/SSHManager.h"
#include "support/SmallDisk.h"
#include "support/TempHome.h"
#include "support/WorkedExamples.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
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
    return "[" + QByteArrayList(records).join(',') + "]";
}

// "6600" is read and write for the owner only.
QByteArray modeOf(const QString &path)
{
    return QByteArray::number(QFile::permissions(path).toInt(), 16);
}

// Each copy kept beside a file before it was overwritten, as its mode and content.
QByteArrayList keptCopies(const QString &path)
{
    const QFileInfo file(path);
    QByteArrayList out;
    for (const QFileInfo &kept : file.dir().entryInfoList({file.fileName() + ".unreadable-*"}, QDir::Files))
        out << modeOf(kept.filePath()) + " " + readFile(kept.filePath());
    return out;
}

} // namespace

class StoreTest : public QObject {
    Q_OBJECT
private slots:
    void locationSeedingRoundTripAndBorrowing()
    {
        TempHome home;
        QCOMPARE(Store::tunnelsPath(false), home.dataHome() + "/Flumewire/tunnels.json");
        QCOMPARE(Store::groupsPath(true), home.dataHome() + "/Flumewire-Dev/groups.json");
        // A missing file seeds the samples, which connect only when switched on; reading never creates anything.
        const Store::LoadResult seeded = Store::load(std::nullopt, std::nullopt, false);
        QVERIFY(seeded.seeded && seeded.groups.isEmpty() && seeded.borrowedIds.isEmpty());
        QCOMPARE(tunnelIds(seeded.tunnels), QStringList({"prod-api", "metrics", "staging-db", "edge-cache"}));
        QVERIFY(std::ranges::none_of(seeded.tunnels, &Tunnel::autostart));
        QVERIFY(!QDir(home.dataHome()).exists());

        QList<Tunnel> tunnels = Store::sampleTunnels();
        tunnels[0].groupId = "grp-A";
        QVERIFY(Store::save(tunnels, false));
        QVERIFY(Store::saveGroups({{"grp-A", "Prod", 0}}, false));
        QCOMPARE(modeOf(Store::tunnelsPath(false)) + modeOf(Store::groupsPath(false)), "66006600");
        const Store::LoadResult r = Store::load(std::nullopt, std::nullopt, false);
        QCOMPARE(r.tunnels, tunnels);
        QCOMPARE(r.groups, QList<TunnelGroup>({{"grp-A", "Prod", 0}}));

        // A development build borrows the installed build's tunnels it lacks, switched off and without their groups.
        home.write("data/Flumewire-Dev/tunnels.json", arrayOf({tunnelJson("own")}));
        home.write("data/Flumewire/tunnels.json",
                   arrayOf({tunnelJson("own"), tunnelJson("p1", R"(,"autostart":true,"groupId":"grp-A")"),
                            tunnelJson("p2"), tunnelJson("p2")}));
        const Store::LoadResult dev = Store::load(std::nullopt, std::nullopt, true);
        QCOMPARE(tunnelIds(dev.tunnels), QStringList({"own", "p1", "p2", "p2"}));
        QCOMPARE(dev.borrowedIds, QSet<QString>({"p1", "p2"}));
        QVERIFY(!dev.tunnels[1].autostart && !dev.tunnels[1].groupId);

        // An installed build borrows nothing; an unreadable installed file lends nothing.
        QVERIFY(Store::load(std::nullopt, std::nullopt, false).borrowedIds.isEmpty());
        home.write("data/Flumewire/tunnels.json", "[1]");
        QVERIFY(Store::load(std::nullopt, std::nullopt, true).borrowedIds.isEmpty());
    }

    void unusableFilesAreKeptAndGroupsChecked()
    {
        TempHome home;
        const QByteArray bad =
            arrayOf({tunnelJson("a"), R"({"id":"b","name":"B","type":"L","user":"","bindPort":""})"});
        home.write("data/Flumewire/tunnels.json", bad);
        home.write("data/Flumewire/groups.json", "{not json");
        Store::LoadResult r = Store::load(std::nullopt, std::nullopt, false);
        QVERIFY(r.seeded && r.tunnelsFile == Store::FileState::Damaged);
        QCOMPARE(readFile(Store::tunnelsPath(false)), bad);

        // The user repairs the file by hand after the load: the load's verdict holds, so the first write keeps the
        // repaired file rather than judging it fine and overwriting it with the samples.
        const QByteArray repaired = arrayOf({tunnelJson("a")});
        home.write("data/Flumewire/tunnels.json", repaired);
        QVERIFY(Store::save(r.tunnels, false));
        QVERIFY(Store::save(r.tunnels, false));
        QCOMPARE(keptCopies(Store::tunnelsPath(false)), QByteArrayList({"6600 " + repaired}));
        QVERIFY(Store::decodeTunnels(readFile(Store::tunnelsPath(false))));

        // A damaged groups file: the tunnels keep their group ids, and the file stays until there is a group to
        // write; then it is kept beside first.
        home.write("data/Flumewire/tunnels.json", arrayOf({tunnelJson("a", R"(,"groupId":"g1")")}));
        r = Store::load(std::nullopt, std::nullopt, false);
        QCOMPARE(r.groupsFile, Store::FileState::Damaged);
        QVERIFY(Store::saveGroups({}, false));
        QVERIFY(Store::save(r.tunnels, false));
        QCOMPARE(readFile(Store::groupsPath(false)), QByteArray("{not json"));
        QCOMPARE(Store::decodeTunnels(readFile(Store::tunnelsPath(false)))->first().groupId,
                 std::optional<QString>("g1"));
        QVERIFY(Store::saveGroups({{"g2", "Two", 0}}, false));
        QCOMPARE(keptCopies(Store::groupsPath(false)), QByteArrayList({"6600 {not json"}));
        QVERIFY(Store::decodeGroups(readFile(Store::groupsPath(false))));

        // A newer version is read; a tunnel's group id that names no group is cleared in memory.
        home.write("data/Flumewire/tunnels.json",
                   arrayOf({tunnelJson("a", R"(,"groupId":"g1")"), tunnelJson("b", R"(,"groupId":"gone")")}));
        home.write("data/Flumewire/groups.json", R"({"version":7,"groups":[{"id":"g1","name":"One","order":3}]})");
        r = Store::load(std::nullopt, std::nullopt, false);
        QCOMPARE(r.groups, QList<TunnelGroup>({{"g1", "One", 3}}));
        QCOMPARE(QList({r.tunnels[0].groupId, r.tunnels[1].groupId}), QList<std::optional<QString>>({"g1", {}}));
        for (const char *wrong : {R"({"groups":[]})", R"({"version":1.5,"groups":[]})", R"({"version":1,"groups":{}})",
                                  R"({"version":1,"groups":[{"id":"g","name":"n"}]})"})
            QVERIFY2(!Store::decodeGroups(wrong), wrong);
        QVERIFY(Store::decodeGroups(R"({"version":-2,"groups":[]})"));

        // A creator's own tunnel list means no groups file is read.
        r = Store::load(Store::sampleTunnels(), std::nullopt, false);
        QVERIFY(r.groups.isEmpty() && !r.seeded);
    }

    // Every way a save can fail leaves the previous bytes in place and says why; the engine keeps its lists,
    // reports the failure once, and the next change after the cause is gone writes and reports the recovery.
    void failedSavesKeepTheOldBytesAndSayWhy()
    {
        TempHome home;
        SmallDisk disk;
        SMALL_DISK_OR_SKIP(disk);
        qputenv("XDG_DATA_HOME", disk.path().toLocal8Bit());
        const QString path = Store::tunnelsPath(false);
        QVERIFY(Store::save(Store::sampleTunnels(), false));
        QVERIFY(Store::saveGroups({{"g1", "One", 0}}, false));
        const QByteArray before = readFile(path) + readFile(Store::groupsPath(false));

        SSHManager ssh;
        AppStateOptions options;
        options.ssh = &ssh;
        options.autostart = false;
        AppState state(std::move(options));
        QSignalSpy failed(&state, &AppState::saveFailed);
        QSignalSpy recovered(&state, &AppState::saveRecovered);

        disk.fill();
        // A small change (buffered, it would only fail at the commit) and a large one.
        QVERIFY(state.addGroup("Two"));
        QList<Tunnel> many(60, Store::sampleTunnels().first());
        for (int i = 0; i < many.size(); ++i)
            many[i].id = QString("bulk-%1").arg(i);
        QCOMPARE(state.importTunnels(many), 60);
        QVERIFY(!state.persist());
        QCOMPARE(readFile(path) + readFile(Store::groupsPath(false)), before);
        QCOMPARE(failed.size(), 1); // the same reason is not reported again at every change
        const QString reason = failed.first().first().toString();
        QVERIFY2(reason.contains("No space left on device") && reason.contains(path), qPrintable(reason));
        QCOMPARE(QDir(disk.path() + "/Flumewire").entryList(QDir::Files | QDir::Hidden).size(), 2);

        disk.freeUp();
        state.renameGroup(state.groups().last().id, "Second");
        QCOMPARE(recovered.size(), 1);
        QVERIFY(state.saveError().isEmpty());
        QCOMPARE(Store::decodeTunnels(readFile(path))->size(), 64);

        // Something other than a file in the file's place.
        QVERIFY(QFile::remove(path) && QDir().mkdir(path));
        WriteResult r = Store::save(Store::sampleTunnels(), false);
        QVERIFY2(!r && r.error.startsWith(path + ": "), qPrintable(r.error));
        QVERIFY(QFileInfo(path).isDir() && QDir().rmdir(path));
        QVERIFY(QFile::link(disk.path() + "/nowhere/tunnels.json", path));
        QVERIFY(!Store::save(Store::sampleTunnels(), false));
        QVERIFY(QFileInfo(path).isSymLink() && !QFileInfo::exists(disk.path() + "/nowhere"));
    }

    // Permission bits do not stop root, so as root this runs itself again as "nobody".
    void unreadableFileIsNeverOverwritten()
    {
        if (geteuid() == 0) {
            QProcess child;
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                                    QCoreApplication::applicationFilePath(), "unreadableFileIsNeverOverwritten"});
            if (!child.waitForStarted())
                QSKIP("SKIPPED: setpriv is not available to run this as another user");
            QVERIFY(child.waitForFinished(60000));
            const QByteArray output = child.readAll(); // read once: a second read would always be empty
            QVERIFY2(child.exitCode() == 0 && !output.contains("SKIP"), output.constData());
            return;
        }
        TempHome home;
        const QByteArray mine = arrayOf({tunnelJson("mine")});
        const QString path = home.write("data/Flumewire/tunnels.json", mine);
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        const Store::LoadResult r = Store::load(std::nullopt, std::nullopt, false);
        QVERIFY(r.seeded && r.tunnelsFile == Store::FileState::Unreadable);
        WriteResult saved = Store::save(r.tunnels, false);
        QVERIFY2(!saved && saved.error.contains("Permission denied") && saved.error.contains("not overwritten"),
                 qPrintable(saved.error));
        // Once the user makes it readable again, the next save keeps it first.
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(readFile(path), mine);
        QVERIFY(Store::save(r.tunnels, false));
        QCOMPARE(keptCopies(path), QByteArrayList({"6600 " + mine}));

        // A folder the user cannot write to.
        const QString folder = Store::folder(false);
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        saved = Store::saveGroups({}, false);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!saved && !QFile::exists(Store::groupsPath(false)));
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_Store.moc"
