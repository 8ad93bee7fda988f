// Renders the tray's views for people to look at, light and dark: the popover with a keyboard-focused switch, a cut
// name and a hovered row, the log window with its Copy button and grip, the tray menu, and the tray icon with its
// rim and count badge on light and dark panels. Run by hand:
//   QT_QPA_PLATFORM=offscreen FLUMEWIRE_TEST_OUTPUT=<folder> render_tray_views
#include "app/MenuBarImage.h"
#include "app/TrayMenu.h"
#include "engine/EngineHarness.h"
#include "support/Shots.h"
#include "ui/controls/WarpToggle.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/LogView.h"
#include "ui/views/PopoverView.h"
#include "ui/views/TunnelRow.h"

#include <QApplication>
#include <QPainter>
#include <QTextStream>

namespace {

Tunnel tunnel(const QString &id, const QString &name, TunnelType type, const QString &port, const QString &target = {})
{
    Tunnel t = makeTunnel(id, type);
    t.name = name;
    t.bindPort = port;
    if (!target.isEmpty())
        t.targetHost = target;
    return t;
}

void popover(bool dark)
{
    EngineHarness h({tunnel("web", "Staging web", TunnelType::Local, "8080", "web.internal"),
                     tunnel("db", "Postgres primary replica, Frankfurt data centre", TunnelType::Local, "5432",
                            "replica-03.frankfurt.db.internal.corp.example"),
                     tunnel("socks", "Office SOCKS", TunnelType::Socks, "1080")},
                    {}, false);
    h.state->start("web");
    h.runner.report("web", TunnelStatus::Connected);
    for (double ms : {22.0, 25.0, 19.0, 31.0, 28.0})
        h.latencyRound(ms);
    FWRoot root(new PopoverView(*h.state, {}), dark ? Appearance::Dark : Appearance::Light);
    root.show();
    auto view = static_cast<PopoverView *>(root.content());
    root.activateWindow();
    QApplication::processEvents();
    view->row("socks")->toggle()->setFocus(Qt::TabFocusReason);
    root.setAttribute(Qt::WA_KeyboardFocusChange); // as Tab leaves it
    view->row("web")->setHovered(true);
    view->row("web")->hoverAnimator()->finish();
    QApplication::processEvents();

    Shots::save(&root, "tray-popover-keyboard-" + Shots::theme(dark), QColor(128, 128, 132));
}

void logWindow(bool dark)
{
    Tunnel t = tunnel("db", "Staging DB", TunnelType::Local, "5432");
    EngineHarness h({t}, {}, false);
    h.state->start("db");
    for (const char *line : {"debug1: Connecting to primary.test [10.0.0.5] port 22.",
                             "Authenticated to primary.test ([10.0.0.5]:22) using \"publickey\".",
                             "debug1: Local forwarding listening on 127.0.0.1 port 5432."})
        h.runner.log("db", QString::fromUtf8(line));
    h.runner.report("db", TunnelStatus::Connected);
    FWRoot root(new LogView(*h.state, {}, "db"), dark ? Appearance::Dark : Appearance::Light);
    root.show();
    Shots::save(&root, "tray-log-window-" + Shots::theme(dark), dark ? QColor(20, 20, 22) : QColor(210, 210, 210));
}

void trayMenu(bool dark)
{
    TrayMenu menu;
    menu.setConnectedCount(3);
    menu.setPalette(FWRoot::paletteFor(FWTheme(dark)));
    menu.adjustSize();
    menu.show();
    QApplication::processEvents();
    Shots::saveImage(menu.grab().toImage(), "tray-menu-" + Shots::theme(dark));
    menu.hide();
}

void icons()
{
    using F = FlumeMark::Fill;
    // Each glyph as the desktop's scheme draws it (ink and opposite rim), on a light and on a dark panel.
    for (const bool darkDesktop : {false, true}) {
        const QColor ink = darkDesktop ? QColor(Qt::white) : QColor(Qt::black);
        MenuBarExtras extras;
        extras.edge = darkDesktop ? QColor(0, 0, 0, 217) : QColor(255, 255, 255, 217);
        for (auto [panel, background] :
             {std::pair{"lightpanel", QColor(236, 236, 236)}, {"darkpanel", QColor(40, 40, 40)}})
            Shots::paint(
                QStringLiteral("tray-icon-%1desktop-%2").arg(darkDesktop ? "dark" : "light", panel), 4 * 26, 26,
                background, [&](QPainter &p) {
                    int x = 0;
                    for (auto [fill, badge] : {std::pair{F::Outline, 0}, {F::Full, 0}, {F::Full, 3}, {F::Full, 12}}) {
                        extras.badge = badge;
                        p.drawImage(QPointF(2 + 26 * x++, 2), menuBarImage(fill, 18, false, ink, extras).image);
                    }
                });
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariable("FLUMEWIRE_TEST_OUTPUT").isEmpty()) {
        QTextStream(stderr) << "set FLUMEWIRE_TEST_OUTPUT to the folder for the pictures\n";
        return 2;
    }
    for (const bool dark : {false, true}) {
        popover(dark);
        logWindow(dark);
        trayMenu(dark);
    }
    icons();
    QTextStream(stdout) << "pictures written to " << qEnvironmentVariable("FLUMEWIRE_TEST_OUTPUT") << '\n';
    return 0;
}
