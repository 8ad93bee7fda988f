#include "model/GeneralSettings.h"
#include "model/TunnelForm.h"
#include "ssh/SSHCommandLine.h"
#include "system/LoginItem.h"
#include "ui/UiDriver.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/OptRow.h"
#include "ui/views/AboutTab.h"
#include "ui/views/GeneralTab.h"
#include "ui/views/ImportTab.h"
#include "ui/views/PreferencesView.h"
#include "ui/views/SecurityTab.h"
#include "ui/views/ToolTab.h"
#include "ui/views/TrafficLights.h"
#include "ui/views/TunnelTableRow.h"
#include "ui/views/TunnelsTab.h"
#include <QLineEdit>

#include <QDir>
#include <QFileInfo>

using S = TunnelStatus;
using namespace UiDriver;
using namespace Qt::StringLiterals;

namespace {

Tunnel named(const QString &id, const QString &name, const QString &host, const QString &user = QStringLiteral("me"))
{
    Tunnel t = makeTunnel(id);
    t.name = name;
    t.host = host;
    t.user = user;
    return t;
}

// A preferences card over an engine with fakes, in a throw-away home, recording what it asks of the shell.
struct Prefs {
    TempHome home;
    EngineHarness engine;
    GeneralSettings settings{UserDefaults::defaultPath(false)};
    LoginItem login{QStringLiteral("/usr/bin/flumewire")};
    QStringList calls;
    QString chosenFile;
    std::unique_ptr<FWRoot> root;

    explicit Prefs(const QList<Tunnel> &tunnels, bool dev = false) : engine(tunnels, {}, false, dev)
    {
        PreferencesServices s;
        s.settings = &settings;
        s.loginItem = &login;
        s.actions.newTunnel = [this] { calls << "newTunnel"; };
        s.actions.editTunnel = [this](const QString &id) { calls << "edit " + id; };
        s.actions.openUrl = [this](const QUrl &url) { calls << "open " + url.toLocalFile(); };
        s.close = [this] { calls << "close"; };
        s.dev = dev;
        s.displayName = dev ? QStringLiteral("Flumewire (Dev)") : QStringLiteral("Flumewire");
        s.versionText = QStringLiteral("Version 1.2 (7)");
        s.chooseFile = [this](const QString &folder) {
            calls << "choose in " + folder;
            return chosenFile;
        };
        if (!dev)
            s.checkForUpdates = [this] { calls << "check for updates"; };
        s.home = home.path();
        root = std::make_unique<FWRoot>(new PreferencesView(*engine.state, std::move(s)), Appearance::Light);
        root->show();
    }
    PreferencesView *view() { return static_cast<PreferencesView *>(root->content()); }
    template <typename Tab> Tab *open(const QString &id)
    {
        view()->setTab(id);
        QCoreApplication::processEvents();
        return qobject_cast<Tab *>(view()->content());
    }
};

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT
private slots:
    void tunnelsListTabsAndWindowButtons()
    {
        Prefs p({named("prod", "Prod DB", "db.prod"), named("web", "Web", "web.example"),
                 named("rep", "analytics", "DB-replica"), named("cache", "Cache", "cache.local", QString())});
        auto tab = qobject_cast<TunnelsTab *>(p.view()->content());
        QTest::keyClicks(tab->searchField(), "db");
        QCOMPARE(tab->filtered(), (QStringList{"prod", "rep"}));
        tab->searchField()->clear();
        QCOMPARE(tab->list()->rowFor("cache")->userHostText(), QStringLiteral("@cache.local"));

        // The row's switch starts the tunnel; its dot and the counts follow the status.
        QCOMPARE(tab->countsText(), QStringLiteral("0 active · 4 total"));
        click(tab->list()->rowFor("web")->startSwitch());
        QCOMPARE(p.engine.runner.startsOf("web"), 1);
        p.engine.runner.report("web", S::Connected);
        QCOMPARE(tab->list()->rowFor("web")->statusDot()->status(), S::Connected);
        QCOMPARE(tab->countsText(), QStringLiteral("1 active · 4 total"));

        // Remove does nothing without a selection; a click selects, remove deletes, the selection stays.
        click(tab->removeButton());
        QCOMPARE(tab->filtered().size(), 4);
        QTest::mouseClick(tab->list()->rowFor("rep"), Qt::LeftButton, {}, QPoint(60, 10));
        click(tab->removeButton());
        QCOMPARE(tab->filtered(), (QStringList{"prod", "web", "cache"}));
        QVERIFY(!p.engine.state->tunnel("rep") && tab->selection() == "rep");

        // Double click and the pencil edit, the plus adds (the requests are checked at the end).
        QTest::mouseDClick(tab->list()->rowFor("prod"), Qt::LeftButton, {}, QPoint(60, 10));
        click(tab->list()->rowFor("cache")->editButton());
        click(tab->addButton());

        // Only the rows in view are built, and scrolling builds the ones it brings in.
        QList<Tunnel> many;
        for (int i = 0; i < 500; ++i)
            many.append(named(QStringLiteral("t%1").arg(i), QStringLiteral("Tunnel %1").arg(i), "host"));
        p.engine.state->importTunnels(many);
        tab->list()->verticalScrollBar()->setValue(tab->list()->verticalScrollBar()->maximum());
        QVERIFY(tab->list()->rowFor("t499") && !tab->list()->rowFor("prod") && tab->list()->builtRowCount() < 20);

        // Each tab shows its title and view; an unknown tab is About without a title.
        const QList<ToolTab *> tabs = p.view()->toolTabs();
        QStringList seen;
        for (qsizetype i = tabs.size() - 1; i >= 0; --i) {
            click(tabs.at(i));
            seen.prepend(tabs.at(i)->label() + " " + p.view()->titleLabel()->text() + " " +
                         p.view()->content()->metaObject()->className());
            QVERIFY(tabs.at(i)->isActive() && std::ranges::count_if(tabs, &ToolTab::isActive) == 1);
        }
        QCOMPARE(seen,
                 (QStringList{"Tunnels Tunnels TunnelsTab", "General General GeneralTab",
                              "Security Security SecurityTab", "Import Import ImportTab", "About About AboutTab"}));
        p.view()->setTab(QStringLiteral("nonsense"));
        QVERIFY(p.view()->title().isEmpty() && qobject_cast<AboutTab *>(p.view()->content()));

        // About: each link opens a file that is there; a release build can check for updates.
        auto about = qobject_cast<AboutTab *>(p.view()->content());
        QCOMPARE(about->versionLabel()->accessibleName(), QStringLiteral("App version: Version 1.2 (7)"));
        QVERIFY(!about->linkButtons().isEmpty());
        for (FWButton *link : about->linkButtons()) {
            click(link);
            QVERIFY2(QFileInfo(p.calls.takeLast().mid(5)).isFile(), qPrintable(link->text()));
        }
        click(about->updateButton());

        // Only the first window button closes (the shell tests click that one): the other two do nothing.
        TrafficLights *lights = p.view()->trafficLights();
        for (int i : {1, 2})
            QTest::mouseClick(lights, Qt::LeftButton, {}, lights->circle(i).center().toPoint());
        QCOMPARE(p.calls, (QStringList{"edit prod", "edit cache", "newTunnel", "check for updates"}));
    }

    void importTabScansTicksAndImports()
    {
        Prefs p({named("ssh-db-l-5432", "db", "db")});
        p.home.write(".ssh/config", "Host db\n  User deploy\n  LocalForward 5432 localhost:5432\n"
                                    "  DynamicForward 1080\nHost web\n  User ops\n  RemoteForward 8080 localhost:80\n");
        auto tab = p.open<ImportTab>(QStringLiteral("import"));
        QVERIFY(!tab->showsDevelopmentCard());
        QCOMPARE(tab->sourcePath(), p.home.path() + QStringLiteral("/.ssh/config"));
        const auto texts = [&] {
            return QStringList{tab->summaryText(), tab->selectAllButton()->text(), tab->importButton()->text()};
        };
        QCOMPARE(texts(), (QStringList{"3 TUNNELS FOUND · 3 SELECTED", "Deselect all", "Import 3 Tunnels"}));
        QCOMPARE(ImportTab::detailText(tab->found().at(1)), QStringLiteral("deploy@db · 127.0.0.1:1080 → SOCKS"));

        // Clicking a row unticks it; the import adds the ticked ones the state does not have yet.
        QTest::mouseClick(tab->proposalRows().at(1), Qt::LeftButton, {}, QPoint(200, 10));
        QCOMPARE(texts(), (QStringList{"3 TUNNELS FOUND · 2 SELECTED", "Select all", "Import 2 Tunnels"}));
        click(tab->importButton());
        QVERIFY(tab->importedLabel()->isVisible() && tab->importedLabel()->text() == QStringLiteral("Imported 1"));
        QVERIFY(p.engine.state->tunnel("ssh-web-r-8080") && !p.engine.state->tunnel("ssh-db-socks-1080"));
        tab->toggle("ssh-web-r-8080");
        QVERIFY(!tab->importedLabel()->isVisible());
        QCOMPARE(tab->importButton()->text(), QStringLiteral("Import 1 Tunnel"));

        // Nothing ticked: the button is disabled.
        click(tab->selectAllButton());
        click(tab->selectAllButton());
        QVERIFY(tab->summaryText().endsWith("0 SELECTED") && !tab->importButton()->isEnabled());

        // A cancelled panel changes nothing; an unreadable file shows the no-forwards text.
        click(tab->findChildren<FWButton *>().value(0));
        QCOMPARE(p.calls, QStringList{"choose in " + p.home.path() + "/.ssh"});
        QCOMPARE(tab->found().size(), 3);
        p.chosenFile = p.home.write("bad", QByteArray("Host x\n  LocalForward 1 a:1\n") + QByteArray("\xff\xfe", 2));
        tab->choose();
        QVERIFY(tab->sourceLabel()->text() == p.chosenFile && tab->found().isEmpty());
        QVERIFY(tab->emptyText().startsWith(QStringLiteral("No port-forwards found in this ssh config")));

        // A development build offers the installed app's tunnels, and has its own name and no update check.
        Prefs dev({}, true);
        auto devTab = dev.open<ImportTab>(QStringLiteral("import"));
        QVERIFY(devTab->showsDevelopmentCard() && devTab->emptyText().startsWith(QStringLiteral("No port-forwards")));
        click(devTab->productionButton());
        QCOMPARE(devTab->prodImported(), std::optional<int>(0));
        QVERIFY(!devTab->productionButton()->isVisible());
        auto about = dev.open<AboutTab>(QStringLiteral("about"));
        QVERIFY(about->nameLabel()->text() == QStringLiteral("Flumewire (Dev)") && !about->updateButton());
    }

    void securityAndGeneralSettingsPersist()
    {
        Prefs p({makeTunnel("old")});
        auto tab = p.open<SecurityTab>(QStringLiteral("security"));
        QVERIFY(tab->strictRow()->checked());
        click(tab->strictRow()->toggle());
        QVERIFY(!tab->strictRow()->checked());
        // A cancelled panel keeps the chosen key.
        for (const QString &chosen : {p.home.path() + QStringLiteral("/.ssh/id_ed25519"), QString()}) {
            p.chosenFile = chosen;
            click(tab->chooseButton());
            QCOMPARE(tab->identityField()->text(), QStringLiteral("~/.ssh/id_ed25519"));
        }

        // Read as the editor does for a new tunnel: from the defaults file. Existing tunnels keep their settings.
        TunnelForm fresh = TunnelForm::fresh(UserDefaults(UserDefaults::defaultPath(false)));
        QCOMPARE((std::pair{fresh.strictHostKey, fresh.identity}), (std::pair{false, u"~/.ssh/id_ed25519"_s}));
        QVERIFY(p.engine.state->tunnel("old")->strictHostKey);
        tab->identityField()->clear();
        QCOMPARE(UserDefaults(UserDefaults::defaultPath(false)).string(UserDefaults::defaultIdentityKey),
                 std::optional<QString>(QString()));

        // Only a leading home folder becomes "~".
        QCOMPARE(SSHCommandLine::withTilde("/home/me/.ssh/k", "/home/me"), QStringLiteral("~/.ssh/k"));
        QCOMPARE(SSHCommandLine::withTilde("/home/me2/k", "/home/me"), QStringLiteral("/home/me2/k"));
        QCOMPARE(SSHCommandLine::withTilde("/keys/home/me/k", "/home/me"), QStringLiteral("/keys/home/me/k"));
        QCOMPARE(SSHCommandLine::withTilde("/home/me", "/home/me/"), QStringLiteral("~"));

        // The general switches change the real settings and the autostart entry.
        const QString autostart = p.home.configHome() + "/autostart/flumewire.desktop";
        auto general = p.open<GeneralTab>(QStringLiteral("general"));
        const auto switches = [&] {
            return QList<bool>{general->loginSwitch()->isOn(), general->notifyConnectSwitch()->isOn(),
                               general->notifyDisconnectSwitch()->isOn(), general->sleepDisconnectSwitch()->isOn(),
                               general->wakeReconnectSwitch()->isOn()};
        };
        QCOMPARE(switches(), (QList<bool>{false, true, false, true, true}));
        for (WarpToggle *toggle :
             {general->loginSwitch(), general->notifyDisconnectSwitch(), general->wakeReconnectSwitch()})
            click(toggle);
        QCOMPARE(switches(), (QList<bool>{true, true, true, true, false}));

        // The rebuilt tab reads what is stored and what is on disk.
        general = p.open<GeneralTab>(QStringLiteral("general"));
        QCOMPARE(switches(), (QList<bool>{true, true, true, true, false}));
        click(general->loginSwitch());
        QVERIFY(!QFileInfo::exists(autostart) && !general->loginSwitch()->isOn());

        // An autostart folder that cannot be made: the switch stays off and says why.
        QVERIFY(QDir(p.home.configHome() + "/autostart").removeRecursively());
        p.home.write("config/autostart", "not a folder");
        click(general->loginSwitch());
        QVERIFY(!general->loginSwitch()->isOn());
        QVERIFY(general->loginError().startsWith(QStringLiteral("Could not change the autostart entry: ")));
    }
};

QTEST_MAIN(TestPreferences)
#include "tst_Preferences.moc"
