#include "app/AppDelegate.h"
#include "app/CardWindow.h"
#include "app/MenuBarImage.h"
#include "app/PopoverWindow.h"
#include "engine/AppState.h"
#include "engine/ManualClock.h"
#include "ssh/SSHRunning.h"
#include "support/LogCapture.h"
#include "support/Shots.h"
#include "support/TempHome.h"
#include "system/SystemProxying.h"
#include "ui/theme/FWRoot.h"
#include "ui/theme/SystemColorScheme.h"

#include <QApplication>
#include <QPainter>
#include <QSet>
#include <QTest>

namespace {

// Records what the shell asks of the runner and the proxy switch, in order, in one shared list.
struct Calls {
    QStringList list;
};

class FakeRunner : public SSHRunning {
public:
    explicit FakeRunner(Calls &calls) : m_calls(calls) {}
    void start(const Tunnel &tunnel) override { m_running.insert(tunnel.id); }
    void stop(const QString &id) override { m_running.remove(id); }
    void stopAll() override
    {
        m_calls.list << QStringLiteral("stopAll %1").arg(m_running.size());
        m_running.clear();
    }
    bool isRunning(const QString &id) const override { return m_running.contains(id); }

private:
    Calls &m_calls;
    QSet<QString> m_running;
};

class FakeProxy : public SystemProxying {
public:
    explicit FakeProxy(Calls &calls) : m_calls(calls) {}
    void enable(const QString &, const QString &, const QString &) override {}
    void disable(const QString &) override {}
    void restoreOnQuit() override { m_calls.list << QStringLiteral("restoreOnQuit"); }

private:
    Calls &m_calls;
};

Tunnel tunnel(const QString &id)
{
    Tunnel t;
    t.id = id;
    t.name = id;
    t.host = QStringLiteral("server.invalid");
    t.bindPort = QStringLiteral("10022");
    return t;
}

// One delegate over three tunnels a, b, c with fakes and a manual clock.
struct Shell {
    Calls calls;
    ManualClock *clock = nullptr;
    std::unique_ptr<AppDelegate> delegate;

    explicit Shell(bool dev = false)
    {
        AppDelegate::Parts parts;
        parts.runner = std::make_unique<FakeRunner>(calls);
        parts.proxy = std::make_unique<FakeProxy>(calls);
        auto manual = std::make_unique<ManualClock>();
        clock = manual.get();
        parts.clock = std::move(manual);
        parts.dev = dev;
        parts.displayName = dev ? QStringLiteral("Flumewire (Dev)") : QStringLiteral("Flumewire");
        parts.configure = [](AppStateOptions &options) {
            options.tunnels = QList<Tunnel>{tunnel("a"), tunnel("b"), tunnel("c")};
            options.groups = QList<TunnelGroup>{};
            options.persist = [](const QList<Tunnel> &) {};
            options.groupsPersist = [](const QList<TunnelGroup> &) {};
            options.autostart = false;
            options.probe = [](const QString &, quint16, double, std::function<void(std::optional<double>)>) {};
        };
        delegate = std::make_unique<AppDelegate>(std::move(parts));
        delegate->applicationDidFinishLaunching();
    }

    Coordinator &coordinator() { return delegate->coordinator(); }
    AppState &state() { return delegate->state(); }
    void settle() { QCoreApplication::processEvents(); }
};

QImage onBackground(const QImage &icon, const QColor &background)
{
    QImage image(icon.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter painter(&image);
    painter.drawImage(0, 0, icon);
    return image;
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void statusItemStatesAndAnimationOrder()
    {
        TempHome home;
        LogCapture log;
        Shell shell;
        Coordinator &c = shell.coordinator();
        QVERIFY(c.hasStatusItem());
        QVERIFY(log.contains(QStringLiteral("status item installed (dev=false)")));
        QCOMPARE(c.statusToolTip(), QStringLiteral("Flumewire"));
        QCOMPARE(c.shownFill(), FlumeMark::Fill::Outline);
        QVERIFY(c.statusImageIsTemplate());
        QCOMPARE(c.statusImage().size(), QSize(44, 44));
        QCOMPARE(c.statusImage().devicePixelRatio(), 2.0);
        QVERIFY(!c.connectingTimerRunning());

        // Two connected and one connecting: connecting wins, no title, the icon animates.
        for (const char *id : {"a", "b", "c"})
            shell.state().start(QLatin1String(id));
        shell.state().applyStatus("a", TunnelStatus::Connected, std::nullopt);
        shell.state().applyStatus("b", TunnelStatus::Connected, std::nullopt);
        shell.settle();
        QVERIFY(c.connectingTimerRunning());
        QCOMPARE(c.statusTitle(), QString());
        QList<FlumeMark::Fill> frames{c.shownFill()};
        for (int tick = 0; tick < 5; ++tick) {
            shell.clock->advance(Coordinator::connectingIntervalMs);
            frames << c.shownFill();
            if (tick == 1) {
                // A refresh while connecting keeps the animation where it is.
                shell.state().applyStatus("b", TunnelStatus::Connected, std::nullopt);
                shell.settle();
            }
            QVERIFY(c.connectingTimerRunning());
        }
        using F = FlumeMark::Fill;
        QCOMPARE(frames, (QList<F>{F::Body, F::Full, F::Body, F::Outline, F::Body, F::Full}));

        // The third connects: title " 3", animation stopped on the full glyph.
        shell.state().applyStatus("c", TunnelStatus::Connected, std::nullopt);
        shell.settle();
        QVERIFY(!c.connectingTimerRunning());
        QCOMPARE(c.statusTitle(), QStringLiteral(" 3"));
        QCOMPARE(c.statusToolTip(), QStringLiteral("Flumewire 3"));
        QCOMPARE(c.shownFill(), F::Full);
        shell.clock->advance(1000);
        QCOMPARE(c.shownFill(), F::Full);

        // One connected: full, no title.
        shell.state().stop("b");
        shell.state().stop("c");
        shell.settle();
        QCOMPARE(c.statusTitle(), QString());
        QCOMPARE(c.shownFill(), F::Full);

        // Failed tunnels count for nothing.
        shell.state().applyStatus("a", TunnelStatus::Failed, QStringLiteral("boom"));
        shell.settle();
        QCOMPARE(c.shownFill(), F::Outline);
        QCOMPARE(c.statusTitle(), QString());
    }

    void developmentBuildIconIsRedAndNotATemplate()
    {
        TempHome home;
        Shell shell(true);
        Coordinator &c = shell.coordinator();
        QCOMPARE(c.statusToolTip(), QStringLiteral("Flumewire (Dev)"));
        QVERIFY(!c.statusImageIsTemplate());
        for (auto fill : {FlumeMark::Fill::Outline, FlumeMark::Fill::Body, FlumeMark::Fill::Full}) {
            const MenuBarImage dev = menuBarImage(fill, 18, true);
            const MenuBarImage prod = menuBarImage(fill, 18, false);
            QVERIFY(!dev.isTemplate);
            QVERIFY(prod.isTemplate);
            QSet<QRgb> devInk, prodInk;
            for (int y = 0; y < 44; ++y)
                for (int x = 0; x < 44; ++x) {
                    if (qAlpha(dev.image.pixel(x, y)) == 255)
                        devInk.insert(dev.image.pixel(x, y));
                    if (qAlpha(prod.image.pixel(x, y)) == 255)
                        prodInk.insert(prod.image.pixel(x, y));
                }
            QCOMPARE(devInk, QSet<QRgb>{qRgb(215, 38, 61)});
            QCOMPARE(prodInk, QSet<QRgb>{qRgb(0, 0, 0)});
        }
    }

    void productionIconFollowsTheDesktopScheme()
    {
        // Trays here do not tint template pictures: on a dark desktop the glyph is drawn white, and it follows a
        // switch of the scheme while running.
        TempHome home;
        Shell shell(false);
        Coordinator &c = shell.coordinator();
        auto inks = [&] {
            QSet<QRgb> ink;
            const QImage &image = c.statusImage();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) == 255)
                        ink.insert(image.pixel(x, y) & 0xffffff);
            return ink;
        };
        SystemColorScheme::instance()->setOverride(true);
        QCOMPARE(inks(), QSet<QRgb>{0xffffff});
        SystemColorScheme::instance()->setOverride(false);
        QCOMPARE(inks(), QSet<QRgb>{0x000000});
        SystemColorScheme::instance()->setOverride(std::nullopt);
        QVERIFY(c.statusImageIsTemplate());
    }

    void statusIconPictures()
    {
        int index = 0;
        for (bool dev : {false, true}) {
            const QString build = dev ? QStringLiteral("dev") : QStringLiteral("prod");
            for (auto [fill, name] : {std::pair{FlumeMark::Fill::Outline, "outline"},
                                      {FlumeMark::Fill::Body, "body"},
                                      {FlumeMark::Fill::Full, "full"}}) {
                const QImage icon = menuBarImage(fill, 18, dev).image;
                Shots::saveImage(onBackground(icon, QColor(236, 236, 236)),
                                 QStringLiteral("statusicon-%1-%2-lightbar").arg(build, QLatin1String(name)));
                Shots::saveImage(onBackground(icon, QColor(40, 40, 40)),
                                 QStringLiteral("statusicon-%1-%2-darkbar").arg(build, QLatin1String(name)));
                ++index;
            }
        }
        QCOMPARE(index, 6);
        // The connecting cycle as one strip, frame by frame.
        QImage strip(44 * 4, 44, QImage::Format_ARGB32_Premultiplied);
        strip.fill(QColor(236, 236, 236));
        QPainter painter(&strip);
        int x = 0;
        for (auto fill :
             {FlumeMark::Fill::Body, FlumeMark::Fill::Full, FlumeMark::Fill::Body, FlumeMark::Fill::Outline}) {
            painter.drawImage(QPoint(x, 0), menuBarImage(fill, 18, false).image);
            x += 44;
        }
        painter.end();
        Shots::saveImage(strip, QStringLiteral("statusicon-connecting-frames"));
    }

    void presentCardKeepsOneWindowPerSlot()
    {
        TempHome home;
        Shell shell;
        Coordinator &c = shell.coordinator();
        QVERIFY(!c.card(Coordinator::Slot::Editor));

        c.newTunnel();
        QPointer<CardWindow> first = c.card(Coordinator::Slot::Editor);
        QVERIFY(first);
        QVERIFY(first->isFloating());
        QCOMPARE(first->width(), 540);
        QVERIFY(first->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(first->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(first->testAttribute(Qt::WA_TranslucentBackground));

        c.editTunnel("a");
        QPointer<CardWindow> second = c.card(Coordinator::Slot::Editor);
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
        QCOMPARE(c.card(Coordinator::Slot::Editor), second.data());
        QVERIFY(!c.card(Coordinator::Slot::Log));

        c.viewLog("b");
        c.openPreferences();
        QCOMPARE(c.card(Coordinator::Slot::Log)->width(), 460);
        QCOMPARE(c.card(Coordinator::Slot::Preferences)->width(), 720);
        QVERIFY(!c.card(Coordinator::Slot::Preferences)->isFloating());
        QVERIFY(c.card(Coordinator::Slot::Editor)->isVisible());

        // Every open card follows the appearance at once.
        auto rootOf = [&](Coordinator::Slot slot) { return c.card(slot)->findChild<FWRoot *>(); };
        shell.state().setAppearance(Appearance::Dark);
        QVERIFY(rootOf(Coordinator::Slot::Log)->theme().dark);
        QVERIFY(rootOf(Coordinator::Slot::Preferences)->theme().dark);
        Shots::save(c.card(Coordinator::Slot::Log), QStringLiteral("card-log-placeholder-dark"));
        shell.state().setAppearance(Appearance::Light);
        QVERIFY(!rootOf(Coordinator::Slot::Editor)->theme().dark);
    }

    void noTrayOpensAWindowAndPopoverStaysOnScreen()
    {
        TempHome home;
        LogCapture log;
        Shell shell;
        // Offscreen has no tray: the popover's content opens as an ordinary window, with one line saying why.
        QVERIFY(shell.coordinator().fallbackWindow());
        QVERIFY(shell.coordinator().fallbackWindow()->isVisible());
        QCOMPARE(shell.coordinator().fallbackWindow()->windowType(), Qt::Window);
        QCOMPARE(log.messages(Log::Category::App).filter(QStringLiteral("no system tray")).size(), 1);

        const QRect screen(0, 0, 1920, 1080);
        // Under an icon at the top right: below it, pulled inside the right edge.
        QCOMPARE(PopoverWindow::placement(QSize(340, 400), QRect(1900, 0, 20, 24), screen), QPoint(1580, 28));
        // Under an icon at the bottom: above it.
        QCOMPARE(PopoverWindow::placement(QSize(340, 400), QRect(100, 1056, 24, 24), screen), QPoint(0, 652));
        // Centred when there is room.
        QCOMPARE(PopoverWindow::placement(QSize(300, 200), QRect(500, 0, 20, 20), screen), QPoint(359, 24));
        // Taller than the screen: the top edge stays visible.
        QCOMPARE(PopoverWindow::placement(QSize(300, 1200), QRect(500, 0, 20, 20), screen).y(), 0);

        QCOMPARE(shell.coordinator().popover()->windowType(), Qt::Popup);
    }

    void quitStopsEveryChildThenRestoresTheProxy()
    {
        TempHome home;
        LogCapture log;
        Shell shell;
        shell.state().start("a");
        shell.state().start("b");
        int terminations = 0;
        shell.coordinator().terminate = [&] {
            ++terminations;
            shell.delegate->applicationWillTerminate();
        };
        shell.coordinator().quit();
        QVERIFY(log.contains(QStringLiteral("quit requested")));
        QCOMPARE(terminations, 1);
        QCOMPARE(shell.calls.list, (QStringList{"stopAll 2", "restoreOnQuit"}));
        // The notification may come twice (quit, then the application's own aboutToQuit): the work runs once.
        shell.delegate->applicationWillTerminate();
        QCOMPARE(shell.calls.list.size(), 2);
    }
};

QTEST_MAIN(TestShell)
#include "tst_Shell.moc"
