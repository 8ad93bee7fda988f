// Draws every preferences tab in the light and the dark theme into test-output/ for people to look at.
#include "engine/EngineHarness.h"
#include "model/GeneralSettings.h"
#include "support/Shots.h"
#include "support/TempHome.h"
#include "support/WorkedExamples.h"
#include "system/LoginItem.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/PreferencesView.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("FLUMEWIRE_TEST_OUTPUT"))
        qputenv("FLUMEWIRE_TEST_OUTPUT", SHOTS_DIR);
    QApplication app(argc, argv);
    TempHome home;
    home.write(".ssh/config", "Host db\n  User deploy\n  LocalForward 5432 localhost:5432\n  DynamicForward 1080\n"
                              "Host web\n  User ops\n  RemoteForward 8080 localhost:80\n");
    QList<Tunnel> tunnels = WorkedExamples::all();
    for (int i = 0; i < 12; ++i) {
        Tunnel t = makeTunnel(QStringLiteral("svc%1").arg(i));
        t.name = QStringLiteral("Service %1").arg(i);
        t.host = QStringLiteral("bastion%1.example.net").arg(i % 3);
        t.bindPort = QString::number(15000 + i);
        tunnels.append(t);
    }
    EngineHarness engine(tunnels, {}, false, true);
    engine.state->start(QStringLiteral("db"));
    engine.runner.report(QStringLiteral("db"), TunnelStatus::Connected);
    engine.state->start(QStringLiteral("web"));
    engine.state->start(QStringLiteral("svc1"));
    engine.runner.report(QStringLiteral("svc1"), TunnelStatus::Failed, QStringLiteral("Connection refused"));
    GeneralSettings settings(UserDefaults::defaultPath(true));
    LoginItem login(QStringLiteral("/usr/bin/flumewire"));

    QTextStream out(stdout);
    for (bool dark : {false, true}) {
        for (const PreferencesView::Tab &tab : PreferencesView::tabs()) {
            PreferencesServices services;
            services.settings = &settings;
            services.loginItem = &login;
            services.dev = true;
            services.displayName = QStringLiteral("Flumewire (Dev)");
            services.versionText = QStringLiteral("dev build");
            services.home = home.path();
            auto view = new PreferencesView(*engine.state, services);
            FWRoot root(view, dark ? Appearance::Dark : Appearance::Light);
            view->setTab(tab.id);
            root.show();
            QCoreApplication::processEvents();
            const QString path = Shots::save(&root, QStringLiteral("preferences-%1-%2").arg(tab.id, Shots::theme(dark)),
                                             root.theme().winBg());
            out << path << '\n';
        }
    }
    return 0;
}
