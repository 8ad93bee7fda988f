#include "WindowShots.h"

#include "Camera.h"
#include "Stage.h"
#include "app/CardWindow.h"
#include "app/PopoverWindow.h"
#include "app/TrayMenu.h"
#include "ui/controls/Disclosure.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/Segmented.h"
#include "ui/controls/WarpToggle.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/EditorSheet.h"
#include "ui/views/GroupHeader.h"
#include "ui/views/GroupNameDialog.h"
#include "ui/views/GroupPicker.h"
#include "ui/views/PopoverView.h"
#include "ui/views/PreferencesView.h"
#include "ui/views/TestConnectionButton.h"
#include "ui/views/TunnelRow.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

namespace {

using S = TunnelStatus;
using T = TunnelType;

void theme(Stage &stage, const Camera &camera)
{
    stage.state().setAppearance(camera.dark() ? Appearance::Dark : Appearance::Light);
}

// Two groups and a loose tunnel, in every status: connected with latency samples, connected on the backup host,
// connecting, failed with a reason, idle.
Stage fullStage(bool dev = false)
{
    Tunnel db = sampleTunnel("db", "Postgres primary", T::Local, "5432", "db.internal");
    db.backupHost = "backup.example.net";
    db.groupId = "g1";
    Tunnel web = sampleTunnel("web", "Staging web", T::Local, "8080", "web.internal", "80");
    web.groupId = "g1";
    Tunnel redis = sampleTunnel("redis", "Redis cache, Frankfurt replica of the session store", T::Local, "6379",
                                "replica-03.frankfurt.cache.internal.corp.example");
    redis.groupId = "g1";
    Tunnel socks = sampleTunnel("proxy", "Office SOCKS", T::Socks, "1080");
    socks.groupId = "g2";
    Tunnel grafana = sampleTunnel("grafana", "Grafana", T::Local, "3000", "grafana.lan");
    grafana.groupId = "g2";
    Tunnel rev = sampleTunnel("rev", "Demo back-channel", T::Remote, "8022", "localhost", "22");
    return Stage({web, db, redis, socks, grafana, rev}, {{"g1", "Production", 0}, {"g2", "Office", 1}}, dev);
}

void playFullStage(Stage &stage)
{
    stage.run("web", S::Connected);
    for (double ms : {22.0, 25.0, 19.0, 31.0, 28.0, 24.0, 42.0, 35.0})
        stage.latencyRound(ms);
    stage.run("db");
    stage.runner().report("db", S::Failed, QStringLiteral("Connection refused"));
    stage.clock().advance(AppState::failoverDelayMs);
    stage.runner().report("db", S::Connected);
    stage.run("proxy", S::Connected);
    stage.run("grafana", S::Failed, QStringLiteral("Permission denied (publickey)."));
    stage.clock().advance(3725'000);
    stage.run("redis");
}

PopoverView *popoverView(Stage &stage)
{
    return stage.coordinator().popover()->findChild<PopoverView *>();
}

void showPopover(Stage &stage)
{
    stage.coordinator().popover()->adjustSize();
    stage.coordinator().popover()->show();
    QApplication::processEvents();
}

EditorSheet *editor(Stage &stage)
{
    return stage.coordinator().card(Coordinator::Slot::Editor)->findChild<EditorSheet *>();
}

// What typing does: the field changes and says it was edited.
void typeInto(EditorSheet *sheet, const QString &field, const QString &text)
{
    FWTextField *f = sheet->shownField(field);
    f->setText(text);
    emit f->textEdited(text);
}

void click(QWidget *widget, QPointF at)
{
    const QPointF global = widget->mapToGlobal(at);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, global, Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, {});
        QApplication::sendEvent(widget, &event);
    }
}

void shootEditorCard(Stage &stage, Camera &camera, const QString &name)
{
    camera.window(stage.coordinator().card(Coordinator::Slot::Editor), name);
}

} // namespace

void shootPopover(Camera &camera)
{
    {
        Stage empty({});
        theme(empty, camera);
        showPopover(empty);
        camera.window(empty.coordinator().popover(), "popover-empty");
    }
    Stage stage = fullStage();
    theme(stage, camera);
    playFullStage(stage);
    showPopover(stage);
    camera.window(stage.coordinator().popover(), "popover-list");

    // The pointer over a row shows its actions; Tab on a switch shows the focus ring.
    PopoverView *view = popoverView(stage);
    view->row("web")->setHovered(true);
    view->row("web")->hoverAnimator()->finish();
    view->row("proxy")->toggle()->setFocus(Qt::TabFocusReason);
    stage.coordinator().popover()->setAttribute(Qt::WA_KeyboardFocusChange);
    camera.window(stage.coordinator().popover(), "popover-hover-and-focus");
    view->row("web")->setHovered(false);

    stage.failSaves(QStringLiteral("/home/me/.local/share/Flumewire/tunnels.json: No space left on device"));
    stage.state().addGroup(QStringLiteral("Lab"));
    showPopover(stage);
    popoverView(stage)->body()->verticalScrollBar()->setValue(0);
    camera.window(stage.coordinator().popover(), "popover-save-failed");

    view = popoverView(stage);
    view->header("g1")->beginRename();
    camera.widget(view->header("g1")->renameDialog(), "dialog-rename-group");
    view->header("g1")->renameDialog()->reject();
}

void shootEditor(Camera &camera)
{
    Stage stage = fullStage();
    theme(stage, camera);
    Coordinator &c = stage.coordinator();

    // A new tunnel of each type, filled in, with the advanced section closed and then open.
    const QStringList types{"L", "R", "SOCKS"};
    for (const QString &type : types) {
        c.newTunnel();
        EditorSheet *sheet = editor(stage);
        click(sheet->typeSelector(), sheet->typeSelector()->optionRects().at(types.indexOf(type)).center());
        sheet->typeSelector()->thumbAnimator()->finish();
        typeInto(sheet, "SSH server host", "db.example.net");
        if (type != "SOCKS")
            typeInto(sheet, "Service port", "5432");
        shootEditorCard(stage, camera, "editor-new-" + type.toLower());
        sheet->advanced()->setOpen(true);
        sheet->advanced()->turnAnimator()->finish();
        QApplication::processEvents();
        QScrollBar *bar = sheet->findChild<QScrollArea *>()->verticalScrollBar();
        bar->setValue(bar->maximum());
        shootEditorCard(stage, camera, "editor-new-" + type.toLower() + "-advanced");
    }

    // Nothing to save yet: Save is dimmed; the name field has keyboard focus.
    c.newTunnel();
    EditorSheet *sheet = editor(stage);
    sheet->shownField("Name")->setFocus(Qt::TabFocusReason);
    sheet->shownField("Name")->focusAnimator()->finish();
    shootEditorCard(stage, camera, "editor-new-empty");

    // Editing a saved tunnel; its connection test running, passed and failed.
    c.editTunnel("db");
    sheet = editor(stage);
    shootEditorCard(stage, camera, "editor-edit");
    click(sheet->testButton(), sheet->testButton()->rect().center());
    shootEditorCard(stage, camera, "editor-test-running");
    stage.takePendingTest()(true, QStringLiteral("Connected"));
    shootEditorCard(stage, camera, "editor-test-passed");
    click(sheet->testButton(), sheet->testButton()->rect().center());
    stage.takePendingTest()(false, QStringLiteral("Permission denied (publickey)."));
    shootEditorCard(stage, camera, "editor-test-failed");

    std::unique_ptr<QMenu> menu(sheet->groupPicker()->createMenu(nullptr));
    menu->actions().constLast()->trigger();
    camera.widget(sheet->newGroupDialog(), "dialog-new-group");
    sheet->newGroupDialog()->reject();
    c.editTunnel("db"); // closes the card without keeping the edit
}

void shootPreferences(Camera &camera)
{
    for (bool dev : {false, true}) {
        Stage stage = fullStage(dev);
        theme(stage, camera);
        playFullStage(stage);
        stage.coordinator().openPreferences();
        auto view = stage.coordinator().card(Coordinator::Slot::Preferences)->findChild<PreferencesView *>();
        for (const PreferencesView::Tab &tab : PreferencesView::tabs()) {
            // The About tab differs between builds; the others are shown once.
            if (dev && tab.id != QLatin1String("about") && tab.id != QLatin1String("import"))
                continue;
            view->setTab(tab.id);
            camera.window(stage.coordinator().card(Coordinator::Slot::Preferences),
                          QStringLiteral("preferences-%1%2").arg(tab.id, dev ? "-dev" : ""));
        }
    }
}

void shootLog(Camera &camera)
{
    Stage stage({sampleTunnel("db", "Staging DB", T::Local, "5432", "db.internal"),
                 sampleTunnel("idle", "Idle tunnel", T::Local, "6000")});
    theme(stage, camera);
    stage.run("db");
    for (const char *line : {"OpenSSH_9.2p1 Debian-2+deb12u3, OpenSSL 3.0.15 3 Sep 2024",
                             "debug1: Connecting to bastion.example.net [10.0.0.5] port 22.",
                             "debug1: Authenticating to bastion.example.net:22 as 'deploy'",
                             "Authenticated to bastion.example.net ([10.0.0.5]:22) using \"publickey\".",
                             "debug1: Local forwarding listening on 127.0.0.1 port 5432.",
                             "channel 2: open failed: connect failed: Connection refused"})
        stage.runner().log("db", QString::fromUtf8(line));
    stage.runner().report("db", S::Connected);
    stage.coordinator().viewLog("db");
    camera.window(stage.coordinator().card(Coordinator::Slot::Log), "log");
    stage.coordinator().viewLog("idle");
    camera.window(stage.coordinator().card(Coordinator::Slot::Log), "log-empty");
}

void shootTrayMenu(Camera &camera)
{
    for (int connected : {0, 3}) {
        TrayMenu menu;
        menu.setConnectedCount(connected);
        menu.setPalette(FWRoot::paletteFor(FWTheme(camera.dark())));
        menu.adjustSize();
        menu.show();
        camera.widget(&menu, QStringLiteral("tray-menu-%1-connected").arg(connected));
        menu.hide();
    }
}
