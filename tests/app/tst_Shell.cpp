#include "app/AppDelegate.h"
#include "app/CardWindow.h"
#include "app/MenuBarImage.h"
#include "app/PopoverWindow.h"
#include "app/TrayMenu.h"
#include "engine/EngineHarness.h"
#include "model/GeneralSettings.h"
#include "support/TempHome.h"
#include "ui/UiDriver.h"
#include "ui/controls/Disclosure.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/Segmented.h"
#include "ui/theme/FWRoot.h"
#include "ui/theme/SystemColorScheme.h"
#include "ui/views/EditorSheet.h"
#include "ui/views/GeneralTab.h"
#include "ui/views/LogView.h"
#include "ui/views/PlainIconButton.h"
#include "ui/views/PreferencesView.h"
#include "ui/views/TrafficLights.h"
#include <QSystemTrayIcon>

#include <QApplication>
#include <QTest>

namespace {

using F = FlumeMark::Fill;

// Restoring the proxy notes how many children were still running at that moment.
struct Proxy : FakeSystemProxy {
    FakeRunner *runner = nullptr;
    void restoreOnQuit() override { calls << QStringLiteral("restoreOnQuit, %1 running").arg(runner->running.size()); }
};

// One delegate over three tunnels a, b, c with fakes and a manual clock.
struct Shell {
    TempHome home;
    FakeRunner *runner = nullptr;
    Proxy *proxy = nullptr;
    ManualClock *clock = nullptr;
    std::unique_ptr<AppDelegate> delegate;

    explicit Shell(bool dev = false)
    {
        AppDelegate::Parts parts;
        parts.runner = std::make_unique<FakeRunner>();
        runner = static_cast<FakeRunner *>(parts.runner.get());
        auto fakeProxy = std::make_unique<Proxy>();
        proxy = fakeProxy.get();
        proxy->runner = runner;
        parts.proxy = std::move(fakeProxy);
        parts.clock = std::make_unique<ManualClock>();
        clock = static_cast<ManualClock *>(parts.clock.get());
        parts.dev = dev;
        parts.displayName = dev ? QStringLiteral("Flumewire (Dev)") : QStringLiteral("Flumewire");
        parts.configure = [](AppStateOptions &options) {
            options.tunnels = {makeTunnel("a"), makeTunnel("b"), makeTunnel("c")};
            options.groups = {};
            options.persist = [](const QList<Tunnel> &) { return WriteResult(); };
            options.groupsPersist = [](const QList<TunnelGroup> &) { return WriteResult(); };
            options.autostart = false;
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

// The colours of the fully opaque pixels, without alpha.
QSet<QRgb> inks(const QImage &image)
{
    QSet<QRgb> ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255)
                ink.insert(image.pixel(x, y) & 0xffffff);
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
        QVERIFY(c.hasTrayIcon() && !c.connectingTimerRunning());
        QVERIFY(c.statusToolTip() == QStringLiteral("Flumewire") && c.shownFill() == F::Outline);

        // Two connected and one connecting: connecting wins, no title, the icon animates with the clock.
        for (const char *id : {"a", "b", "c"})
            shell.state().start(id);
        shell.set("a", TunnelStatus::Connected);
        shell.set("b", TunnelStatus::Connected);
        QCOMPARE(c.statusTitle(), QString());
        QList<F> frames{c.shownFill()};
        for (int tick = 0; tick < 5; ++tick) {
            shell.clock->advance(Coordinator::connectingIntervalMs);
            frames << c.shownFill();
            if (tick == 1) // a refresh while connecting keeps the animation where it is
                shell.set("b", TunnelStatus::Connected);
        }
        QCOMPARE(frames, (QList<F>{F::Body, F::Full, F::Body, F::Outline, F::Body, F::Full}));

        // The third connects: title " 3", animation stopped on the full glyph.
        shell.set("c", TunnelStatus::Connected);
        QVERIFY(!c.connectingTimerRunning());
        QCOMPARE((QStringList{c.statusTitle(), c.statusToolTip(), c.trayMenu()->countAction()->text()}),
                 (QStringList{" 3", "Flumewire — 3 connected", "3 connected"}));
        shell.clock->advance(1000);
        QCOMPARE(c.shownFill(), F::Full);

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
        }
        for (auto fill : {F::Outline, F::Body, F::Full}) {
            QCOMPARE(inks(menuBarImage(fill, 18, true).image), QSet<QRgb>{0xD7263D});
            QCOMPARE(inks(menuBarImage(fill, 18, false).image), QSet<QRgb>{0x000000});
        }

        // Trays here do not tint template pictures and the panel's colour is unknown: on a dark desktop the
        // production glyph is drawn white with a dark rim, on a light one black with a light rim, so it reads on a
        // panel of either lightness; it follows a switch of the scheme while running.
        Shell prod(false);
        const QColor badgeGreen = FWTheme().flumeGreenDeep;
        for (bool dark : {true, false}) {
            SystemColorScheme::instance()->setOverride(dark);
            const QImage image = prod.coordinator().statusImage();
            const QSet<QRgb> ink = inks(image);
            QVERIFY(ink.contains(dark ? 0xffffff : 0x000000));
            int rim = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    rim += c.alpha() > 100 && (dark ? c.lightness() < 60 : c.lightness() > 200);
                }
            QVERIFY2(rim > 20, qPrintable(QString::number(rim)));
            QVERIFY(!ink.contains(badgeGreen.rgb() & 0xffffff));
        }
        SystemColorScheme::instance()->setOverride(std::nullopt);
        QVERIFY(prod.coordinator().statusImageIsTemplate());

        // Several connected tunnels put their count on the icon as a badge.
        for (const char *id : {"a", "b"}) {
            prod.state().start(id);
            prod.set(id, TunnelStatus::Connected);
        }
        QVERIFY(inks(prod.coordinator().statusImage()).contains(badgeGreen.rgb() & 0xffffff));
    }

    void presentCardKeepsOneWindowPerSlot()
    {
        using Slot = Coordinator::Slot;
        Shell shell;
        Coordinator &c = shell.coordinator();
        QVERIFY(!c.card(Slot::Editor));
        c.newTunnel();
        QPointer<CardWindow> first = c.card(Slot::Editor);
        QVERIFY(first && first->isFloating());

        c.editTunnel("a");
        QPointer<CardWindow> second = c.card(Slot::Editor);
        QVERIFY(second && second != first);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        int editors = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            editors += qobject_cast<CardWindow *>(w) && w->isVisible();
        QCOMPARE(editors, 1);

        // Unknown ids open nothing and leave the open cards alone.
        c.editTunnel("nope");
        c.viewLog("nope");
        QCOMPARE(c.card(Slot::Editor), second.data());
        QVERIFY(!c.card(Slot::Log));

        c.viewLog("b");
        c.openPreferences();
        QVERIFY(!c.card(Slot::Preferences)->isFloating());
        QVERIFY(c.card(Slot::Editor)->isVisible());

        // Dark under Appearance: the state, every open card and the stored choice follow at once; the next run
        // starts with the kept choice.
        auto view = c.card(Slot::Preferences)->findChild<PreferencesView *>();
        view->setTab(QStringLiteral("general"));
        auto picker = qobject_cast<GeneralTab *>(view->content())->appearancePicker();
        QTest::mouseClick(picker, Qt::LeftButton, {}, picker->optionRects().at(2).center().toPoint());
        for (Slot slot : {Slot::Log, Slot::Preferences, Slot::Editor})
            QVERIFY(c.card(slot)->findChild<FWRoot *>()->theme().dark);
        QCOMPARE(c.settings().appearance(), Appearance::Dark);
        shell.state().setAppearance(Appearance::Light);
        QVERIFY(!c.card(Slot::Editor)->findChild<FWRoot *>()->theme().dark);
        c.settings().setAppearance(Appearance::Dark);
        ManualClock clock;
        Coordinator again(shell.state(), clock, false, QStringLiteral("Flumewire"));
        QCOMPARE(shell.state().appearance(), Appearance::Dark);
    }

    void cardsCloseWithTheirButtonAndEscapeAndTheEditorKeepsNothing()
    {
        using Slot = Coordinator::Slot;
        TempHome home;
        Shell shell;
        Coordinator &c = shell.coordinator();
        auto editor = [&] { return c.card(Slot::Editor)->findChild<EditorSheet *>(); };

        c.editTunnel("b");
        QCOMPARE(editor()->title(), QStringLiteral("Edit Tunnel"));
        QCOMPARE(editor()->editingId(), std::optional<QString>("b"));
        QCOMPARE(editor()->form().name, QStringLiteral("Tunnel b"));
        // Escape in a text field closes the card too; the unsaved edit is gone with it.
        FWTextField *name = editor()->shownField("Name");
        QTest::keyClicks(name, " renamed");
        QTest::keyClick(name, Qt::Key_Escape);
        QVERIFY(!c.card(Slot::Editor));
        QCOMPARE(shell.state().tunnel("b")->name, QStringLiteral("Tunnel b"));
        c.editTunnel("b");
        QCOMPARE(editor()->form().name, QStringLiteral("Tunnel b"));
        QVERIFY(!editor()->advanced()->isOpen());

        // The close button; a new tunnel's editor starts from a fresh form.
        QTest::mouseClick(editor()->closeButton(), Qt::LeftButton);
        QVERIFY(!c.card(Slot::Editor));
        c.newTunnel();
        QCOMPARE(editor()->title(), QStringLiteral("New Tunnel"));
        QCOMPARE(editor()->form(), TunnelForm());
        QTest::keyClicks(editor()->shownField("SSH server host"), "fresh.example");
        QTest::mouseClick(editor()->saveButton(), Qt::LeftButton);
        QVERIFY(!c.card(Slot::Editor));
        QCOMPARE(shell.state().tunnels().size(), 4);

        // The log and the preferences close the same two ways; the preferences open on Tunnels every time.
        for (Slot slot : {Slot::Log, Slot::Preferences}) {
            for (bool escape : {true, false}) {
                slot == Slot::Log ? c.viewLog("a") : c.openPreferences();
                CardWindow *card = c.card(slot);
                QVERIFY(card->isVisible());
                if (escape) {
                    QTest::keyClick(card, Qt::Key_Escape);
                } else if (auto prefs = card->findChild<PreferencesView *>()) {
                    QCOMPARE(prefs->tab(), QStringLiteral("tunnels"));
                    TrafficLights *lights = prefs->trafficLights();
                    QCOMPARE(lights->accessibleName(), QStringLiteral("Close"));
                    QTest::mouseClick(lights, Qt::LeftButton, {}, lights->circle(0).center().toPoint());
                } else {
                    PlainIconButton *close = card->findChild<LogView *>()->closeButton();
                    QCOMPARE(close->accessibleName(), QStringLiteral("Close"));
                    QTest::mouseClick(close, Qt::LeftButton);
                }
                QVERIFY(!card->isVisible());
                if (auto prefs = card->findChild<PreferencesView *>())
                    prefs->setTab(QStringLiteral("about"));
            }
        }
    }

    void noTrayOpensAWindowAndPopoverStaysOnScreen()
    {
        Shell shell;
        // Offscreen has no tray: the popover's content opens as an ordinary window.
        QVERIFY(shell.coordinator().fallbackWindow()->isVisible());
        QCOMPARE(shell.coordinator().fallbackWindow()->windowType(), Qt::Window);

        const QRect screen(0, 0, 1920, 1080);
        // Under an icon at the top right: below it, pulled inside the right edge.
        QCOMPARE(PopoverWindow::placement(QSize(340, 400), QRect(1900, 0, 20, 24), screen), QPoint(1580, 28));
        // Under an icon at the bottom: above it.
        QCOMPARE(PopoverWindow::placement(QSize(340, 400), QRect(100, 1056, 24, 24), screen), QPoint(0, 652));
        // Centred when there is room.
        QCOMPARE(PopoverWindow::placement(QSize(300, 200), QRect(500, 0, 20, 20), screen), QPoint(359, 24));
        // Taller than the screen: the top edge stays visible.
        QCOMPARE(PopoverWindow::placement(QSize(300, 1200), QRect(500, 0, 20, 20), screen).y(), 0);
    }

    void trayMenuOffersEveryWayInAndOut()
    {
        using Slot = Coordinator::Slot;
        Shell shell;
        Coordinator &c = shell.coordinator();
        QCOMPARE(c.trayIcon()->contextMenu(), c.trayMenu());
        QCOMPARE(UiDriver::menuTexts(c.trayMenu()),
                 (QStringList{"No tunnels connected", "-", "Open Flumewire", "New Tunnel…", "Preferences…", "-",
                              "Quit Flumewire"}));
        QVERIFY(!c.trayMenu()->countAction()->isEnabled());
        shell.state().start("a");
        shell.set("a", TunnelStatus::Connected);
        QCOMPARE(c.trayMenu()->countAction()->text(), QStringLiteral("1 connected"));

        // Without a tray (offscreen) "Open Flumewire" brings back the window.
        c.fallbackWindow()->hide();
        c.trayMenu()->openAction()->trigger();
        QVERIFY(c.fallbackWindow()->isVisible());
        c.trayMenu()->newTunnelAction()->trigger();
        c.trayMenu()->preferencesAction()->trigger();
        for (Slot slot : {Slot::Editor, Slot::Preferences})
            QVERIFY(c.card(slot) && c.card(slot)->isVisible());
        int terminations = 0;
        c.terminate = [&] { ++terminations; };
        c.trayMenu()->quitAction()->trigger();
        QCOMPARE(terminations, 1);

        // The menu takes the theme in force when it opens.
        shell.state().setAppearance(Appearance::Dark);
        emit c.trayMenu()->aboutToShow();
        QCOMPARE(c.trayMenu()->palette().color(QPalette::Window), FWTheme(true).winBg());
        QCOMPARE(c.trayMenu()->palette().color(QPalette::Highlight), FWTheme(true).accent());
    }

    void quitAndClosingTheNoTrayWindowStopEveryChildThenRestoreTheProxy()
    {
        // Nothing else would be left to reach the running tunnels without a tray: closing its window quits too.
        for (bool closeWindow : {false, true}) {
            Shell shell;
            shell.state().start("a");
            shell.state().start("b");
            int terminations = 0;
            shell.coordinator().terminate = [&] {
                ++terminations;
                shell.delegate->shutDown();
            };
            if (closeWindow)
                QVERIFY(shell.coordinator().fallbackWindow()->close());
            else
                shell.coordinator().quit();
            QTRY_COMPARE(terminations, 1);
            QCOMPARE(shell.runner->calls, (QStringList{"start a", "start b", "stopAll"}));
            QCOMPARE(shell.proxy->calls, QStringList{"restoreOnQuit, 0 running"});
            // The notification may come twice (quit, then the application's own aboutToQuit): the work runs once.
            shell.delegate->shutDown();
            QVERIFY(shell.runner->calls.size() == 3 && shell.proxy->calls.size() == 1);
        }
    }
};

QTEST_MAIN(TestShell)
#include "tst_Shell.moc"
