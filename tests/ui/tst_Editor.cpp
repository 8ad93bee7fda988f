#include "engine/EngineHarness.h"
#include "model/UserDefaults.h"
#include "support/TempHome.h"
#include "ui/UiDriver.h"
#include "ui/controls/Disclosure.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/FocusRing.h"
#include "ui/controls/OptRow.h"
#include "ui/controls/Segmented.h"
#include "ui/controls/WarpToggle.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/CommandPreview.h"
#include "ui/views/EditorSheet.h"
#include "ui/views/GroupNameDialog.h"
#include "ui/views/GroupPicker.h"
#include "ui/views/PlainIconButton.h"
#include "ui/views/TestConnectionButton.h"
#include <QClipboard>

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace UiDriver;

namespace {

struct PendingTest {
    Tunnel tunnel;
    std::function<void(bool, const QString &)> done;
};

// An editor in its themed window over an AppState on a fake runner; connection tests wait for the test to answer.
struct Editor {
    EngineHarness h;
    QList<PendingTest> tests;
    int closes = 0;
    std::unique_ptr<FWRoot> root;

    explicit Editor(const QList<Tunnel> &tunnels = {}, const QList<TunnelGroup> &groups = {},
                    const std::optional<QString> &editingId = std::nullopt, TunnelForm form = TunnelForm())
        : h(tunnels, groups, false)
    {
        if (editingId)
            form = TunnelForm::from(h.t(*editingId), UserDefaults(QDir::temp().filePath("flumewire-no-defaults.json")));
        ViewActions actions;
        actions.closeEditor = [this] { ++closes; };
        auto test = [this](const Tunnel &tunnel, std::function<void(bool, const QString &)> done) {
            tests.append({tunnel, std::move(done)});
        };
        root = std::make_unique<FWRoot>(new EditorSheet(*h.state, actions, h.clock, test, form, editingId),
                                        Appearance::Light);
        root->show();
    }
    EditorSheet *operator->() const { return static_cast<EditorSheet *>(root->content()); }
    EditorSheet *sheet() const { return static_cast<EditorSheet *>(root->content()); }

    // Types into the shown field as a user does (select all, type).
    void type(const QString &field, const QString &text) const
    {
        FWTextField *f = sheet()->shownField(field);
        QVERIFY2(f, qPrintable("no shown field " + field));
        f->selectAll();
        if (text.isEmpty())
            QTest::keyClick(f, Qt::Key_Backspace);
        else
            QTest::keyClicks(f, text);
    }
    QString text(const QString &field) const
    {
        FWTextField *f = sheet()->shownField(field);
        return f ? f->text() : u"<hidden>"_s;
    }
    QStringList texts(const QStringList &fields) const
    {
        QStringList shown;
        for (const QString &field : fields)
            shown << text(field);
        return shown;
    }
    QString placeholder(const QString &field) const
    {
        FWTextField *f = sheet()->shownField(field);
        return f ? f->placeholderText() : u"<hidden>"_s;
    }
    void pickType(const QString &value) const
    {
        Segmented *picker = sheet()->typeSelector();
        const QStringList values{"L", "R", "SOCKS"};
        QTest::mouseClick(picker, Qt::LeftButton, {},
                          picker->optionRects().at(values.indexOf(value)).center().toPoint());
    }
    void openAdvanced() const
    {
        if (!sheet()->advanced()->isOpen())
            QTest::mouseClick(sheet()->advanced()->header(), Qt::LeftButton);
        // Lays the opened section out, as the event loop would before the user sees it.
        QApplication::processEvents();
    }
};

} // namespace

class TestEditor : public QObject {
    Q_OBJECT
private slots:
    void typeSwitchingKeepsWhatWasTypedAndShowsEachTypesFields()
    {
        TempHome home;
        Editor e;
        QCOMPARE(e->title(), u"New Tunnel"_s);
        e.type("SSH server host", "db1");
        e.type("Service port", "8080");
        e.type("Local port", "15432");
        e.type("Local bind host", "127.0.0.2");

        // SOCKS shows the same host and bind values in its own fields.
        e.pickType("SOCKS");
        QCOMPARE(e->form().type, TunnelType::Socks);
        QCOMPARE(e.texts({"SSH server host", "Host", "Port", "Service port"}),
                 (QStringList{"db1", "127.0.0.2", "15432", "<hidden>"}));
        e.type("SSH server host", "db2");

        // Back to local: nothing lost, the SOCKS edit kept.
        e.pickType("L");
        QCOMPARE(e.texts({"SSH server host", "Service port", "Local port", "Local bind host"}),
                 (QStringList{"db2", "8080", "15432", "127.0.0.2"}));
        QCOMPARE(e->form().targetPort, u"8080"_s);

        // Remote: the rows read the other way round over the same fields.
        e.pickType("R");
        QCOMPARE(e.texts({"Local service host", "Remote port"}), (QStringList{"localhost", "15432"}));

        // Advanced: each type's own fields only.
        e.openAdvanced();
        const auto shown = [&] {
            return QList<bool>{e->shownField("Forward target host") != nullptr,
                               e->shownField("Server bind address") != nullptr,
                               e->shownOption("Auto-configure system SOCKS proxy") != nullptr};
        };
        QCOMPARE(shown(), (QList<bool>{false, true, false}));
        e.pickType("L");
        QCOMPARE(shown(), (QList<bool>{true, false, false}));
        e.pickType("SOCKS");
        QCOMPARE(shown(), (QList<bool>{false, false, true}));
        // The switch writes its form flag; the row follows.
        QTest::mouseClick(e->shownOption("Auto-configure system SOCKS proxy")->toggle(), Qt::LeftButton);
        QVERIFY(e->form().autoSocksProxy && e->shownOption("Auto-configure system SOCKS proxy")->checked());
    }

    void placeholdersAndPreviewFollowTheForm()
    {
        TempHome home;
        Editor e;
        QCOMPARE((QStringList{e.placeholder("Name"), e.placeholder("Local port")}), (QStringList{"My Tunnel", "5432"}));
        e.type("SSH server host", "db1");
        QCOMPARE(e.placeholder("Name"), u"db1"_s);
        e.type("SSH server host", "db9.example");
        QVERIFY(e->preview()->command().contains(" db9.example") && !e->preview()->command().contains(" db1"));
        QCOMPARE(e->preview()->command(), e->tunnelFromForm().displayCommand());

        e.type("Service port", "8080");
        QCOMPARE(e.placeholder("Local port"), u"8080"_s);
        e.type("Service port", "");
        e.pickType("R");
        QCOMPARE(e.placeholder("Remote port"), u"3000"_s);
        e.type("Service port", "4000");
        QCOMPARE(e.placeholder("Remote port"), u"4000"_s);

        e.openAdvanced();
        e.type("SSH port", "2222");
        QCOMPARE(e.placeholder("Backup SSH port"), u"2222"_s);
        QVERIFY(e->preview()->command().contains("-p 2222"));
        e.type("SSH port", "");
        QCOMPARE(e.placeholder("Backup SSH port"), u"22"_s);
        // Typed values are kept exactly, spaces included.
        e.type("Keep-alive seconds", " 15 ");
        QCOMPARE(e->form().keepAlive, u" 15 "_s);
    }

    void saveEnablementAndOutcome()
    {
        TempHome home;
        {
            Editor e;
            FWButton *save = e->saveButton();
            QVERIFY(!save->isEnabled());
            QCOMPARE(save->toolTip(), u"Enter a host to save the tunnel"_s);
            e->shownField("SSH server host")->setText(" \n\t");
            emit e->shownField("SSH server host")->textEdited(" \n\t");
            QVERIFY(!save->isEnabled());
            QTest::mouseClick(save, Qt::LeftButton);
            QVERIFY(e.closes == 0 && e.h.state->tunnels().isEmpty());

            e.type("SSH server host", "db1");
            QVERIFY(save->isEnabled() && save->toolTip().isEmpty());
            e.type("Service port", "5432");
            QTest::mouseClick(save, Qt::LeftButton);
            QCOMPARE(e.closes, 1);
            QCOMPARE(e.h.state->tunnels().size(), 1);
            const Tunnel &saved = e.h.state->tunnels().first();
            // An empty name becomes the host.
            QCOMPARE((QStringList{saved.name, saved.targetPort, saved.id.left(4)}),
                     (QStringList{"db1", "5432", "new-"}));
        }
        // Editing: the saved tunnel's values, and Save changes that tunnel in place.
        Tunnel a = makeTunnel("a");
        a.user = "deploy"; // an advanced setting: the section still opens closed
        Editor e({a, makeTunnel("b")}, {}, u"a"_s);
        QCOMPARE(e->title(), u"Edit Tunnel"_s);
        QVERIFY(!e->advanced()->isOpen());
        QCOMPARE(e.texts({"SSH server host", "Name"}), (QStringList{"primary.test", "Tunnel a"}));
        e.type("Name", "Renamed");
        QTest::mouseClick(e->cancelButton(), Qt::LeftButton);
        QVERIFY(e.closes == 1 && e.h.t("a").name == u"Tunnel a"_s); // nothing reaches the state before Save
        QTest::mouseClick(e->saveButton(), Qt::LeftButton);
        QVERIFY(e.closes == 2 && e.h.state->tunnels().size() == 2);
        QCOMPARE((QStringList{e.h.t("a").name, e.h.t("a").user}), (QStringList{"Renamed", "deploy"}));
    }

    void groupMenuPicksCreatesAndNamesGroups()
    {
        TempHome home;
        {
            // No groups: no divider after "None"; an id naming no group shows "None".
            TunnelForm form;
            form.groupId = "grp-GONE";
            Editor e({}, {}, std::nullopt, form);
            QVERIFY(e->currentGroupName() == u"None"_s && e->groupPicker()->text() == u"None"_s);
            std::unique_ptr<QMenu> menu(e->groupPicker()->createMenu(nullptr));
            QCOMPARE(menuTexts(menu.get()), (QStringList{"None", "-", "New Group…"}));
        }
        const QList<TunnelGroup> groups{{"g2", "Second", 2}, {"g1", "First", 1}, {"g3", "Also first", 1}};
        Editor e({}, groups);
        std::unique_ptr<QMenu> menu(e->groupPicker()->createMenu(nullptr));
        QCOMPARE(menuTexts(menu.get()), (QStringList{"None", "-", "First", "Also first", "Second", "-", "New Group…"}));
        trigger(menu.get(), "Also first");
        QVERIFY(e->form().groupId == "g3" && e->groupPicker()->text() == u"Also first"_s);
        trigger(menu.get(), "None");
        QCOMPARE(e->form().groupId, std::nullopt);

        // New Group…: Cancel changes nothing; a blank name makes no group; a name creates and selects one.
        auto create = [&](const QString &name, bool accept) {
            std::unique_ptr<QMenu> m(e->groupPicker()->createMenu(nullptr));
            trigger(m.get(), "New Group…");
            GroupNameDialog *dialog = e->newGroupDialog();
            QVERIFY(dialog && dialog->isVisible());
            QCOMPARE(dialog->field()->text(), QString());
            QTest::keyClicks(dialog->field(), name);
            QTest::mouseClick(accept ? dialog->acceptButton() : dialog->cancelButton(), Qt::LeftButton);
            QTRY_VERIFY(!e->newGroupDialog());
        };
        create("Work", false);
        QCOMPARE(e.h.state->groups().size(), 3);
        create("   ", true);
        QCOMPARE(e.h.state->groups().size(), 3);
        QCOMPARE(e->form().groupId, std::nullopt);
        create("Work", true);
        QCOMPARE(e.h.state->groups().size(), 4);
        const TunnelGroup &work = e.h.state->groups().last();
        QCOMPARE(work.name, u"Work"_s);
        QCOMPARE(e->form().groupId, std::optional<QString>(work.id));
        QCOMPARE(e->groupPicker()->text(), u"Work"_s);
    }

    void connectionTestStates()
    {
        TempHome home;
        auto e = std::make_unique<Editor>();
        TestConnectionButton *button = (*e)->testButton();
        e->type("SSH server host", "db1");
        e->openAdvanced();
        e->type("Username", "al");
        QVERIFY(button->shownText() == u"Test connection"_s && button->textRole() == FWTheme::Role::Text2);

        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(e->tests.size() == 1 && e->tests[0].tunnel.destination() == u"al@db1"_s);
        QVERIFY(button->testing() && !button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton); // disabled: no second test
        QCOMPARE(e->tests.size(), 1);
        e->tests[0].done(true, "Connected");
        QVERIFY(!button->testing() && button->isEnabled());
        QVERIFY(button->shownText() == u"Connected"_s && button->textRole() == FWTheme::Role::StGreen);

        // The result stays until the next test starts, which clears it.
        e->type("Username", "bo");
        QCOMPARE(button->shownText(), u"Connected"_s);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->shownText(), u"Test connection"_s);
        e->tests[1].done(false, "Permission denied");
        QVERIFY(button->shownText() == u"Permission denied"_s && button->textRole() == FWTheme::Role::StRed);
        // The test starts nothing and saves nothing.
        QVERIFY(e->h.runner.calls.isEmpty() && e->h.state->tunnels().isEmpty());

        // A result that arrives after the editor closed is dropped.
        QTest::mouseClick(button, Qt::LeftButton);
        auto late = e->tests[2].done;
        e->root.reset();
        late(true, "Connected");
    }

    void copyPutsTheWholeCommandOnTheClipboardForAWhile()
    {
        TempHome home;
        Editor e;
        e.type("SSH server host", "db1");
        CommandPreview *preview = e->preview();
        QApplication::clipboard()->setText("something else");
        QTest::mouseClick(preview->copyButton(), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), e->tunnelFromForm().displayCommand());
        QStringList labels{preview->copyButton()->text()};
        e.h.clock.advance(1000);
        labels << preview->copyButton()->text();
        QTest::mouseClick(preview->copyButton(), Qt::LeftButton);
        // The first copy's reset still comes at 1.4 s; each reset just sets "Copy".
        for (int ms : {400, 1000}) {
            e.h.clock.advance(ms);
            labels << preview->copyButton()->text();
        }
        QCOMPARE(labels, (QStringList{"Copied", "Copied", "Copy", "Copy"}));
        QVERIFY(!preview->copied());
    }

    void identityChooserStartsInSshFolderAndWritesHomeAsTilde()
    {
        TempHome temp;
        // Two users' folders side by side: the second's name begins with the first's.
        const QString home = temp.path() + "/al";
        const QString key = temp.write("al/.ssh/id_work", "key");
        const QString other = temp.write("alice/.ssh/id_other", "key");
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.toUtf8());
        auto restore = qScopeGuard([&] { qputenv("HOME", oldHome); });

        Editor e;
        e.openAdvanced();
        auto choose = [&](const QString &path) {
            QTest::mouseClick(e->chooseIdentityButton(), Qt::LeftButton, {},
                              e->chooseIdentityButton()->rect().center());
            QFileDialog *dialog = e->identityDialog();
            QVERIFY(dialog);
            QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(home + "/.ssh").canonicalPath());
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
            if (path.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(path);
                static_cast<QDialog *>(dialog)->accept();
            }
            QTRY_VERIFY(!e->identityDialog());
        };
        choose(key);
        QVERIFY(e->form().identity == u"~/.ssh/id_work"_s && e.text("Identity file") == u"~/.ssh/id_work"_s);
        QVERIFY(e->preview()->command().contains("-i ~/.ssh/id_work"));
        choose(QString()); // cancelled: unchanged
        QCOMPARE(e->form().identity, u"~/.ssh/id_work"_s);
        choose(other);
        QCOMPARE(e->form().identity, QDir::cleanPath(other));
    }

    void keyboardReachesEveryControlInReadingOrder()
    {
        TempHome home;
        Editor e;
        e.root->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(e.root.get()));
        e->shownField("Name")->setFocus();
        QTest::keyClick(e->shownField("Name"), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), e->typeSelector());
        QVERIFY(showsFocusRing(e->typeSelector()));
        // Arrows pick the type.
        QTest::keyClick(e->typeSelector(), Qt::Key_Right);
        QCOMPARE(e->form().type, TunnelType::Remote);
        QTest::keyClick(e->typeSelector(), Qt::Key_Left);
        QCOMPARE(e->form().type, TunnelType::Local);

        QStringList order;
        for (int i = 0; i < 14; ++i) {
            QWidget *focused = QApplication::focusWidget();
            // What a screen reader announces.
            order << QAccessible::queryAccessibleInterface(focused)->text(QAccessible::Name);
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QCOMPARE(order, (QStringList{"Tunnel type", "Name", "Group", "SSH server host", "Service port",
                                     "Local bind host", "Local port", "Advanced", "Copy command", "Test connection",
                                     "Cancel", "Close", "Tunnel type", "Name"}));
        // The ring shows for keyboard focus only; a click takes it away.
        QVERIFY(showsFocusRing(e->groupPicker()));
        QTest::mouseClick(e->groupPicker(), Qt::LeftButton);
        QVERIFY(!showsFocusRing(e->groupPicker()));
        for (QMenu *menu : e->groupPicker()->findChildren<QMenu *>())
            menu->close();

        // Space on the Advanced line opens it; its switches take Space too.
        e->advanced()->header()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(e->advanced()->header(), Qt::Key_Space);
        QVERIFY(e->advanced()->isOpen());
        WarpToggle *compression = e->shownOption("Compression")->toggle();
        compression->setFocus(Qt::TabFocusReason);
        QTest::keyClick(compression, Qt::Key_Space);
        QVERIFY(e->form().compression);
        QCOMPARE(e->closeButton()->accessibleName(), u"Close"_s);

        // A clicked test button disables itself and the focus moves on, but not by the keyboard: no ring.
        QTest::mouseClick(e->testButton(), Qt::LeftButton);
        QVERIFY(QApplication::focusWidget() != e->testButton());
        QVERIFY(!showsFocusRing(QApplication::focusWidget()));
    }
};

QTEST_MAIN(TestEditor)
#include "tst_Editor.moc"
