#include "app/AppDelegate.h"
#include "app/CardWindow.h"
#include "app/PopoverWindow.h"
#include "app/TrayMenu.h"
#include "engine/EngineHarness.h"
#include "model/GeneralSettings.h"
#include "ui/UiDriver.h"
#include "ui/controls/Segmented.h"
#include "ui/theme/FWRoot.h"
#include "ui/theme/SystemColorScheme.h"
#include "ui/views/EditorSheet.h"
#include "ui/views/GeneralTab.h"
#include "ui/views/LogView.h"
#include "ui/views/PlainIconButton.h"
#include "ui/views/PreferencesView.h"
#include "ui/views/TrafficLights.h"

#include <QTest>

namespace {

using F = FlumeMark::Fill;
using Slot = Coordinator::Slot;

// Restoring the proxy notes how many children were still running at that moment.
struct Proxy : FakeSystemProxy {
    FakeRunner *runner = nullptr;
    void restoreOnQuit() override { calls << QStringLiteral("restoreOnQuit, %1 running").arg(runner->running.size()); }
};

// One delegate over three tunnels a, b, c with fakes and a manual clock.
struct Shell {
    TempHome home;
    FakeRunner *runner = new FakeRunner;
    Proxy *proxy = new Proxy;
    ManualClock *clock = new ManualClock;
    std::unique_ptr<AppDelegate> delegate;

    explicit Shell(bool dev = false)
    {
        proxy->runner = runner;
        AppDelegate::Parts parts;
        parts.runner.reset(runner);
        parts.proxy.reset(proxy);
        parts.clock.reset(clock);
        parts.dev = dev;
        parts.displayName = dev ? QStringLiteral("Flumewire (Dev)") : QStringLiteral("Flumewire");
        parts.configure = [](AppStateOptions &options) {
            options.tunnels = {makeTunnel("a"), makeTunnel("b"), makeTunnel("c")};
            options.probe = [](const QString &, quint16, double, std::function<void(std::optional<double>)>) {};
        };
        delegate = std::make_unique<AppDelegate>(std::move(parts));
        delegate->launch();
    }

    Coordinator &coordinator() { return delegate->coordinator(); }
    AppState &state() { return delegate->state(); }
    void set(const char *id, TunnelStatus status)
    {
        runner->report(id, status);
        QCoreApplication::processEvents();
    }
};

// How many fully opaque pixels of each colour (without alpha) a picture has.
QHash<QRgb, int> inks(const QImage &image)
{
    QHash<QRgb, int> ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255)
                ++ink[image.pixel(x, y) & 0xffffff];
    return ink;
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void statusItemStatesAndAnimationOrder()
    {
        Shell shell;
        Coordinator &c = shell.coordinator();
        QVERIFY(c.hasTrayIcon() && !c.connectingTimerRunning() && c.shownFill() == F::Outline);
        QCOMPARE(c.statusToolTip(), QStringLiteral("Flumewire"));

        // Two connected and one connecting: connecting wins, no title, the icon animates with the clock.
        for (const char *id : {"a", "b", "c"})
            shell.state().start(id);
        shell.set("a", TunnelStatus::Connected);
        shell.set("b", TunnelStatus::Connected);
        QCOMPARE(c.statusTitle(), QString());
        QVERIFY(c.connectingTimerRunning() && c.shownFill() == F::Body);
        shell.clock->advance(Coordinator::connectingIntervalMs);
        QCOMPARE(c.shownFill(), F::Full);

        // The third connects: title " 3", animation stopped on the full glyph, the count on the icon as a badge.
        shell.set("c", TunnelStatus::Connected);
        QVERIFY(!c.connectingTimerRunning());
        QVERIFY(inks(c.statusImage()).contains(FWTheme().flumeGreenDeep.rgb() & 0xffffff));
        QCOMPARE((QStringList{c.statusTitle(), c.statusToolTip(), c.trayMenu()->countAction()->text()}),
                 (QStringList{" 3", "Flumewire — 3 connected", "3 connected"}));

        // One connected: full, no title. Failed tunnels count for nothing.
        shell.state().stop("b");
        shell.state().stop("c");
        QCoreApplication::processEvents();
        QVERIFY(c.statusTitle().isEmpty() && c.shownFill() == F::Full);
        shell.set("a", TunnelStatus::Failed);
        QCOMPARE(c.shownFill(), F::Outline);
    }

    void iconInkByBuildAndDesktopScheme()
    {
        // A development build is drawn red, never as a template to tint.
        {
            Shell dev(true);
            QCOMPARE(dev.coordinator().statusToolTip(), QStringLiteral("Flumewire (Dev)"));
            QVERIFY(!dev.coordinator().statusImageIsTemplate());
            QVERIFY(inks(dev.coordinator().statusImage()).contains(0xD7263D));
        }

        // Trays here do not tint template pictures: the production glyph is drawn white on a dark desktop and black
        // on a light one, following a switch of the scheme while running.
        Shell prod(false);
        for (bool dark : {true, false}) {
            SystemColorScheme::instance()->setOverride(dark);
            QVERIFY(inks(prod.coordinator().statusImage()).contains(dark ? 0xffffff : 0x000000));
        }
        SystemColorScheme::instance()->setOverride(std::nullopt);
        QVERIFY(prod.coordinator().statusImageIsTemplate());
    }

    // One card per slot: opening another replaces it. A card closes by its button and by Escape (even from a text
    // field); a closed editor keeps nothing.
    void cardsOnePerSlotCloseAndFollowTheAppearance()
    {
        Shell shell;
        Coordinator &c = shell.coordinator();
        auto editor = [&] { return c.card(Slot::Editor)->findChild<EditorSheet *>(); };
        c.editTunnel("b");
        QVERIFY(c.card(Slot::Editor)->isFloating());
        QTest::keyClicks(editor()->shownField("Name"), " renamed");
        QTest::keyClick(editor()->shownField("Name"), Qt::Key_Escape);
        QVERIFY(!c.card(Slot::Editor));
        c.editTunnel("b");
        QCOMPARE(editor()->form().name, QStringLiteral("Tunnel b"));

        QPointer<CardWindow> first = c.card(Slot::Editor);
        c.newTunnel();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        QCOMPARE(editor()->form(), TunnelForm());
        // Unknown ids open nothing and leave the open cards alone.
        CardWindow *newEditor = c.card(Slot::Editor);
        c.editTunnel("nope");
        c.viewLog("nope");
        QVERIFY(c.card(Slot::Editor) == newEditor && !c.card(Slot::Log));

        // Dark under Appearance: the state, every open card and the stored choice follow at once; the next run
        // starts with the kept choice.
        c.viewLog("b");
        c.openPreferences();
        QVERIFY(!c.card(Slot::Preferences)->isFloating() && c.card(Slot::Editor)->isVisible());
        auto prefs = c.card(Slot::Preferences)->findChild<PreferencesView *>();
        prefs->setTab(QStringLiteral("general"));
        auto picker = qobject_cast<GeneralTab *>(prefs->content())->appearancePicker();
        QTest::mouseClick(picker, Qt::LeftButton, {}, picker->optionRects().at(2).center().toPoint());
        for (Slot slot : {Slot::Log, Slot::Preferences, Slot::Editor})
            QVERIFY(c.card(slot)->findChild<FWRoot *>()->theme().dark);
        QCOMPARE(c.settings().appearance(), Appearance::Dark);
        shell.state().setAppearance(Appearance::Light);
        c.settings().setAppearance(Appearance::Dark);
        ManualClock clock;
        Coordinator again(shell.state(), clock, false, QStringLiteral("Flumewire"));
        QCOMPARE(shell.state().appearance(), Appearance::Dark);

        // The close buttons; the preferences open on Tunnels every time.
        CardWindow *log = c.card(Slot::Log);
        PlainIconButton *logClose = log->findChild<LogView *>()->closeButton();
        TrafficLights *lights = prefs->trafficLights();
        QCOMPARE((QStringList{logClose->accessibleName(), lights->accessibleName()}), (QStringList{"Close", "Close"}));
        QTest::mouseClick(logClose, Qt::LeftButton);
        QTest::mouseClick(lights, Qt::LeftButton, {}, lights->circle(0).center().toPoint());
        QVERIFY(!log->isVisible() && !c.card(Slot::Preferences));
        c.openPreferences();
        CardWindow *reopened = c.card(Slot::Preferences);
        QCOMPARE(reopened->findChild<PreferencesView *>()->tab(), QStringLiteral("tunnels"));
        QTest::keyClick(reopened, Qt::Key_Escape);
        QVERIFY(!reopened->isVisible());

        QTest::keyClicks(editor()->shownField("SSH server host"), "fresh.example");
        QTest::mouseClick(editor()->saveButton(), Qt::LeftButton);
        QVERIFY(!c.card(Slot::Editor));
        QCOMPARE(shell.state().tunnels().size(), 4);
        c.editTunnel("a");
        QTest::mouseClick(editor()->closeButton(), Qt::LeftButton);
        QVERIFY(!c.card(Slot::Editor));
    }

    void popoverStaysOnScreen()
    {
        const QRect screen(0, 0, 1920, 1080);
        // Below an icon at the top right, pulled inside the right edge; above an icon at the bottom, inside the left
        // edge; taller than the screen, the top edge stays visible.
        QCOMPARE(PopoverWindow::placement(QSize(340, 400), QRect(1900, 0, 20, 24), screen), QPoint(1580, 28));
        QCOMPARE(PopoverWindow::placement(QSize(340, 400), QRect(100, 1056, 24, 24), screen), QPoint(0, 652));
        QCOMPARE(PopoverWindow::placement(QSize(300, 1200), QRect(500, 0, 20, 20), screen).y(), 0);
    }

    void trayMenuOffersEveryWayIn()
    {
        Shell shell;
        Coordinator &c = shell.coordinator();
        QCOMPARE(UiDriver::menuTexts(c.trayMenu()),
                 (QStringList{"No tunnels connected", "-", "Open Flumewire", "New Tunnel…", "Preferences…", "-",
                              "Quit Flumewire"}));
        QVERIFY(!c.trayMenu()->countAction()->isEnabled());

        // Offscreen has no tray: the popover's content opens as an ordinary window, and "Open Flumewire" brings it
        // back.
        QVERIFY(c.fallbackWindow()->isVisible() && c.fallbackWindow()->windowType() == Qt::Window);
        c.fallbackWindow()->hide();
        c.trayMenu()->openAction()->trigger();
        QVERIFY(c.fallbackWindow()->isVisible());
        c.trayMenu()->newTunnelAction()->trigger();
        c.trayMenu()->preferencesAction()->trigger();
        for (Slot slot : {Slot::Editor, Slot::Preferences})
            QVERIFY(c.card(slot) && c.card(slot)->isVisible());

        // The menu takes the theme in force when it opens.
        shell.state().setAppearance(Appearance::Dark);
        emit c.trayMenu()->aboutToShow();
        QCOMPARE(c.trayMenu()->palette().color(QPalette::Window), FWTheme(true).winBg());
    }

    void quitStopsEveryChildThenRestoresTheProxy()
    {
        Shell shell;
        shell.state().start("a");
        shell.state().start("b");
        int terminations = 0;
        shell.coordinator().terminate = [&] {
            ++terminations;
            shell.delegate->shutDown();
        };
        shell.coordinator().trayMenu()->quitAction()->trigger();
        QTRY_COMPARE(terminations, 1);
        QCOMPARE(shell.runner->calls, (QStringList{"start a", "start b", "stopAll"}));
        QCOMPARE(shell.proxy->calls, QStringList{"restoreOnQuit, 0 running"});
        // The notification may come twice (quit, then the application's own aboutToQuit): the work runs once.
        shell.delegate->shutDown();
        QVERIFY(shell.runner->calls.size() == 3 && shell.proxy->calls.size() == 1);
    }
};

QTEST_MAIN(TestShell)
#include "tst_Shell.moc"
