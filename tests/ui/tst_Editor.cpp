#include "model/UserDefaults.h"
#include "ui/UiDriver.h"
#include "ui/controls/Disclosure.h"
#include "ui/controls/FocusRing.h"
#include "ui/controls/OptRow.h"
#include "ui/controls/Segmented.h"
#include "ui/views/CommandPreview.h"
#include "ui/views/EditorSheet.h"
#include "ui/views/GroupNameDialog.h"
#include "ui/views/GroupPicker.h"
#include "ui/views/TestConnectionButton.h"
#include <QClipboard>

#include <QAccessible>
#include <QFileDialog>

using namespace Qt::StringLiterals;
using namespace UiDriver;

namespace {

// An editor in its themed window over an AppState on a fake runner; connection tests wait for the test to answer.
struct Editor {
    EngineHarness h;
    // The connection tests asked for, and how to answer each.
    QList<Tunnel> tested;
    QList<std::function<void(bool, const QString &)>> answers;
    int closes = 0;
    std::unique_ptr<FWRoot> root;

    explicit Editor(const QList<Tunnel> &tunnels = {}, const QList<TunnelGroup> &groups = {},
                    const std::optional<QString> &editingId = std::nullopt)
        : h(tunnels, groups, false)
    {
        TunnelForm form;
        if (editingId)
            form = TunnelForm::from(h.t(*editingId), UserDefaults(QDir::temp().filePath("flumewire-no-defaults.json")));
        ViewActions actions;
        actions.closeEditor = [this] { ++closes; };
        auto test = [this](const Tunnel &tunnel, std::function<void(bool, const QString &)> done) {
            tested << tunnel;
            answers << std::move(done);
        };
        root = std::make_unique<FWRoot>(new EditorSheet(*h.state, actions, h.clock, test, form, editingId),
                                        Appearance::Light);
        root->show();
    }
    EditorSheet *operator->() const { return static_cast<EditorSheet *>(root->content()); }

    // Types into the shown field as a user does (select all, type).
    void type(const QString &field, const QString &text) const
    {
        FWTextField *f = (*this)->shownField(field);
        QVERIFY2(f, qPrintable("no shown field " + field));
        f->selectAll();
        QTest::keyClick(f, Qt::Key_Backspace);
        QTest::keyClicks(f, text);
    }
    // The shown fields' texts, or their placeholders; "<hidden>" for a field that is not shown.
    QStringList texts(const QStringList &fields, bool placeholders = false) const
    {
        QStringList shown;
        for (const QString &field : fields) {
            FWTextField *f = (*this)->shownField(field);
            shown << (!f ? u"<hidden>"_s : placeholders ? f->placeholderText() : f->text());
        }
        return shown;
    }
    void pickType(const QString &value) const
    {
        const QRectF option = (*this)->typeSelector()->optionRects().at(QStringList{"L", "R", "SOCKS"}.indexOf(value));
        click((*this)->typeSelector(), option.center().toPoint());
    }
    void openAdvanced() const
    {
        click((*this)->advanced()->header());
        // Lays the opened section out, as the event loop would before the user sees it.
        QApplication::processEvents();
    }
};

} // namespace

class TestEditor : public QObject {
    Q_OBJECT
private slots:
    void formFollowsTypingTypeSwitchingAndGroupPicks()
    {
        TempHome home;
        const QList<TunnelGroup> groups{{"g2", "Second", 2}, {"g1", "First", 1}, {"g3", "Also first", 1}};
        Editor e({}, groups);
        QCOMPARE(e.texts({"Name", "Local port"}, true), (QStringList{"My Tunnel", "5432"}));
        e.type("SSH server host", "db9.example");
        QCOMPARE(e.texts({"Name"}, true), QStringList{"db9.example"});
        QCOMPARE(e->preview()->command(), e->tunnelFromForm().displayCommand());

        e.type("Service port", "8080");
        QCOMPARE(e.texts({"Local port"}, true), QStringList{"8080"});
        e.pickType("R");
        e.type("Service port", "4000");
        QCOMPARE(e.texts({"Remote port"}, true), QStringList{"4000"});

        e.openAdvanced();
        e.type("SSH port", "2222");
        QCOMPARE(e.texts({"Backup SSH port"}, true), QStringList{"2222"});
        e.type("SSH port", "");
        QCOMPARE(e.texts({"Backup SSH port"}, true), QStringList{"22"});
        // Typed values are kept exactly, spaces included.
        e.type("Keep-alive seconds", " 15 ");
        QCOMPARE(e->form().keepAlive, u" 15 "_s);

        // Copy puts the whole command on the clipboard and says so for a moment.
        FWButton *copy = e->preview()->copyButton();
        QApplication::clipboard()->setText("something else");
        QTest::mouseClick(copy, Qt::LeftButton);
        QVERIFY(QApplication::clipboard()->text() == e->tunnelFromForm().displayCommand() && copy->text() == "Copied");
        e.h.clock.advance(1400);
        QCOMPARE(copy->text(), u"Copy"_s);

        // Switching types keeps what was typed and shows each type's own fields.
        e.pickType("L");
        e.type("Local port", "15432");
        e.type("Local bind host", "127.0.0.2");

        // SOCKS shows the same host and bind values in its own fields.
        e.pickType("SOCKS");
        QCOMPARE(e.texts({"SSH server host", "Host", "Port", "Service port"}),
                 (QStringList{"db9.example", "127.0.0.2", "15432", "<hidden>"}));
        e.type("SSH server host", "db2");

        // Back to local: nothing lost, the SOCKS edit kept.
        e.pickType("L");
        QCOMPARE(e.texts({"SSH server host", "Service port", "Local port", "Local bind host"}),
                 (QStringList{"db2", "4000", "15432", "127.0.0.2"}));
        QCOMPARE(e->form().targetPort, u"4000"_s);

        // Remote: the rows read the other way round over the same fields.
        e.pickType("R");
        QCOMPARE(e.texts({"Local service host", "Remote port"}), (QStringList{"localhost", "15432"}));

        // Advanced: each type's own fields only.
        for (auto [type, target, bind, proxy] :
             {std::tuple{"R", false, true, false}, {"L", true, false, false}, {"SOCKS", false, false, true}}) {
            e.pickType(type);
            QCOMPARE((QList<bool>{e->shownField("Forward target host") != nullptr,
                                  e->shownField("Server bind address") != nullptr,
                                  e->shownOption("Auto-configure system SOCKS proxy") != nullptr}),
                     (QList<bool>{target, bind, proxy}));
        }
        // The switch writes its form flag; the row follows.
        QTest::mouseClick(e->shownOption("Auto-configure system SOCKS proxy")->toggle(), Qt::LeftButton);
        QVERIFY(e->form().autoSocksProxy && e->shownOption("Auto-configure system SOCKS proxy")->checked());

        // The group picker lists the groups in their order, and picks, creates and names them.
        std::unique_ptr<QMenu> menu(e->groupPicker()->createMenu(nullptr));
        QCOMPARE(menuTexts(menu.get()), (QStringList{"None", "-", "First", "Also first", "Second", "-", "New Group…"}));
        trigger(menu.get(), "Also first");
        QVERIFY(e->form().groupId == "g3" && e->groupPicker()->text() == u"Also first"_s);
        trigger(menu.get(), "None");
        QCOMPARE(e->form().groupId, std::nullopt);

        // New Group…: Cancel changes nothing; a blank name makes no group; a name creates and selects one.
        for (auto [name, accept, made] :
             {std::tuple{"Work", false, false}, {"   ", true, false}, {"Work", true, true}}) {
            std::unique_ptr<QMenu> m(e->groupPicker()->createMenu(nullptr));
            trigger(m.get(), "New Group…");
            GroupNameDialog *dialog = e->newGroupDialog();
            QVERIFY(dialog && dialog->isVisible() && dialog->field()->text().isEmpty());
            QTest::keyClicks(dialog->field(), name);
            QTest::mouseClick(accept ? dialog->acceptButton() : dialog->cancelButton(), Qt::LeftButton);
            QTRY_VERIFY(!e->newGroupDialog());
            QCOMPARE(e.h.state->groups().size(), made ? 4 : 3);
            QCOMPARE(e->form().groupId.has_value(), made);
        }
        QVERIFY(e->form().groupId == e.h.state->groups().last().id && e->groupPicker()->text() == u"Work"_s);
    }

    void connectionTestAndSave()
    {
        TempHome home;
        {
            // A blank host, even of white space, cannot be saved, and the button says why.
            Editor e;
            FWButton *save = e->saveButton();
            e->shownField("SSH server host")->setText(" \n\t");
            emit e->shownField("SSH server host")->textEdited(" \n\t");
            QVERIFY(!save->isEnabled());
            QCOMPARE(save->toolTip(), u"Enter a host to save the tunnel"_s);

            TestConnectionButton *button = e->testButton();
            e.type("SSH server host", "db1");
            e.openAdvanced();
            e.type("Username", "al");
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(e.tested.size() == 1 && e.tested[0].destination() == u"al@db1"_s);
            QVERIFY(!button->isEnabled()); // no second test while one runs
            e.answers[0](true, "Connected");
            QVERIFY(button->shownText() == u"Connected"_s && button->textRole() == FWTheme::Role::StGreen);

            // The result stays until the next test starts, which clears it.
            e.type("Username", "bo");
            QCOMPARE(button->shownText(), u"Connected"_s);
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(button->shownText(), u"Test connection"_s);
            e.answers[1](false, "Permission denied");
            QVERIFY(button->shownText() == u"Permission denied"_s && button->textRole() == FWTheme::Role::StRed);
            // The test starts nothing and saves nothing; with a host, the tunnel can be saved.
            QVERIFY(e.h.runner.calls.isEmpty() && e.h.state->tunnels().isEmpty());
            QVERIFY(save->isEnabled() && save->toolTip().isEmpty());

            // A result that arrives after the editor closed is dropped.
            QTest::mouseClick(button, Qt::LeftButton);
            e.root.reset();
            e.answers[2](true, "Connected");
        }
        // Editing: the saved tunnel's values, and Save changes that tunnel in place.
        Tunnel a = makeTunnel("a");
        a.user = "deploy"; // an advanced setting: the section still opens closed
        a.groupId = "grp-GONE";
        Editor e({a, makeTunnel("b")}, {}, u"a"_s);
        QVERIFY(e->title() == u"Edit Tunnel"_s && !e->advanced()->isOpen());
        QCOMPARE(e.texts({"SSH server host", "Name"}), (QStringList{"primary.test", "Tunnel a"}));
        // A group id naming no group shows "None"; with no groups, no divider after it.
        std::unique_ptr<QMenu> menu(e->groupPicker()->createMenu(nullptr));
        QVERIFY(e->groupPicker()->text() == u"None"_s &&
                menuTexts(menu.get()) == QStringList({"None", "-", "New Group…"}));
        e.type("Name", "Renamed");
        QTest::mouseClick(e->cancelButton(), Qt::LeftButton);
        QVERIFY(e.closes == 1 && e.h.t("a").name == u"Tunnel a"_s); // nothing reaches the state before Save
        QTest::mouseClick(e->saveButton(), Qt::LeftButton);
        QVERIFY(e.closes == 2 && e.h.state->tunnels().size() == 2);
        QCOMPARE((QStringList{e.h.t("a").name, e.h.t("a").user}), (QStringList{"Renamed", "deploy"}));
    }

    void keyboardReachesEveryControlAndTheIdentityChooser()
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
        e.root->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(e.root.get()));
        e->shownField("Name")->setFocus();
        QTest::keyClick(e->shownField("Name"), Qt::Key_Backtab);
        QVERIFY(showsFocusRing(e->typeSelector()));
        // Arrows pick the type.
        QTest::keyClick(e->typeSelector(), Qt::Key_Right);
        QCOMPARE(e->form().type, TunnelType::Remote);
        QTest::keyClick(e->typeSelector(), Qt::Key_Left); // back to local, as the local fields below show

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

        // Space on the Advanced line opens it; its switches take Space too.
        e->advanced()->header()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(e->advanced()->header(), Qt::Key_Space);
        QVERIFY(e->advanced()->isOpen());
        WarpToggle *compression = e->shownOption("Compression")->toggle();
        compression->setFocus(Qt::TabFocusReason);
        QTest::keyClick(compression, Qt::Key_Space);
        QVERIFY(e->form().compression);

        // A clicked test button disables itself and the focus moves on, but not by the keyboard: no ring.
        QTest::mouseClick(e->testButton(), Qt::LeftButton);
        QVERIFY(QApplication::focusWidget() != e->testButton());
        QVERIFY(!showsFocusRing(QApplication::focusWidget()));

        // The identity chooser starts in ~/.ssh and writes a path in the home folder with a tilde.
        QApplication::processEvents();
        auto choose = [&](const QString &path) {
            click(e->chooseIdentityButton());
            QFileDialog *dialog = e->identityDialog();
            QVERIFY(dialog && dialog->fileMode() == QFileDialog::ExistingFile);
            QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(home + "/.ssh").canonicalPath());
            dialog->selectFile(path);
            path.isEmpty() ? dialog->reject() : static_cast<QDialog *>(dialog)->accept();
            QTRY_VERIFY(!e->identityDialog());
        };
        choose(key);
        QVERIFY(e->form().identity == u"~/.ssh/id_work"_s &&
                e.texts({"Identity file"}) == QStringList{"~/.ssh/id_work"});
        choose(QString()); // cancelled: unchanged
        QCOMPARE(e->form().identity, u"~/.ssh/id_work"_s);
        choose(other);
        QCOMPARE(e->form().identity, QDir::cleanPath(other));
    }
};

QTEST_MAIN(TestEditor)
#include "tst_Editor.moc"
