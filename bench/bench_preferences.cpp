#include "BenchTimer.h"
#include "NullRunner.h"
#include "SampleWorld.h"
#include "engine/AppState.h"
#include "engine/ManualClock.h"
#include "model/GeneralSettings.h"
#include "system/LoginItem.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/PreferencesView.h"
#include "ui/views/TunnelsTab.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// Opening the preferences (on the Tunnels tab) over 500 tunnels, and typing one character into its search.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());

    constexpr int kTunnels = 500;
    NullRunner runner;
    ManualClock clock;
    AppState state(sampleOptions(sampleTunnels(kTunnels), {}, &runner, &clock));
    GeneralSettings settings(UserDefaults::defaultPath(false));
    LoginItem login(QStringLiteral("/usr/bin/flumewire"));

    auto services = [&] {
        PreferencesServices s;
        s.settings = &settings;
        s.loginItem = &login;
        return s;
    };

    std::unique_ptr<FWRoot> root;
    const QList<double> open = measureMicros(20, [&] {
        root = std::make_unique<FWRoot>(new PreferencesView(state, services()), Appearance::Light);
        root->show();
        QCoreApplication::processEvents();
    });
    report("preferences_open_500_tunnels_median", percentile(open, 0.5) / 1000.0, "ms");
    report("preferences_open_500_tunnels_p90", percentile(open, 0.9) / 1000.0, "ms");

    auto tab = qobject_cast<TunnelsTab *>(static_cast<PreferencesView *>(root->content())->content());
    QLineEdit *search = tab->searchField();
    QList<double> typing;
    for (int i = 0; i < 50; ++i) {
        search->clear();
        QCoreApplication::processEvents();
        // One character into the empty search: the list filters from 500 to the matching tunnels and redraws.
        typing << measureMicros(1, [&] {
            QTest::keyClick(search, i % 2 ? Qt::Key_1 : Qt::Key_7);
            QCoreApplication::processEvents();
        });
    }
    std::sort(typing.begin(), typing.end());
    report("preferences_search_one_char_500_tunnels_median", percentile(typing, 0.5) / 1000.0, "ms");
    report("preferences_search_one_char_500_tunnels_p90", percentile(typing, 0.9) / 1000.0, "ms");
    return 0;
}
