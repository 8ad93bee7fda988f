#include "ui/theme/FWRoot.h"
#include "ui/theme/FWTheme.h"
#include "ui/theme/SystemColorScheme.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

namespace {
// Counts the theme notices a widget receives and remembers what it saw at the last one.
class Probe : public QWidget {
public:
    int notices = 0;
    bool sawDark = false;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == FWRoot::themeChangeEvent()) {
            ++notices;
            sawDark = FWTheme::of(this).dark;
        }
        return QWidget::event(event);
    }
};
} // namespace

class TestTheme : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SystemColorScheme::instance()->setOverride(std::nullopt); }

    void fixedColoursAndDerivedSurfaces()
    {
        const FWTheme light(false), dark(true);
        QCOMPARE(light.flumeGreen, QColor(0x1E, 0x9E, 0x57));
        QCOMPARE(dark.flumeGreen, light.flumeGreen);
        QCOMPARE(dark.stGrey, QColor(142, 142, 147));
        QCOMPARE(dark.brassHi, QColor(230, 200, 120));
        QCOMPARE(light.winBg(), QColor(243, 239, 231));
        QCOMPARE(dark.winBg(), QColor(28, 29, 31));
        QCOMPARE(dark.surface3(), QColor(50, 51, 55));
        QCOMPARE(light.text2().rgb(), QColor(33, 31, 26).rgb());
        QVERIFY(qAbs(light.text2().alphaF() - 0.56) < 1e-3);
        QVERIFY(qAbs(dark.text3().alphaF() - 0.36) < 1e-3);
        QVERIFY(qAbs(dark.popBg().alphaF() - 0.74) < 1e-3);
        QCOMPARE(dark.accent(), dark.flumeSheen);
        QCOMPARE(light.accent(), light.flumeGreen);
        QCOMPARE(light.status(TunnelStatus::Connected), QColor(0x30, 0xD1, 0x58));
        QCOMPARE(light.status(TunnelStatus::Connecting), QColor(0xFF, 0x9F, 0x0A));
        QCOMPARE(light.status(TunnelStatus::Failed), QColor(0xFF, 0x45, 0x3A));
        QCOMPARE(light.status(TunnelStatus::Idle), QColor(0x8E, 0x8E, 0x93));
    }

    void curves()
    {
        const FWCurve &warp = FWTheme::warp();
        QCOMPARE(warp.easing.valueForProgress(0), 0.0);
        QCOMPARE(warp.easing.valueForProgress(1), 1.0);
        // An under-damped spring overshoots before it settles.
        qreal peak = 0;
        for (int i = 0; i <= 100; ++i)
            peak = std::max(peak, warp.easing.valueForProgress(i / 100.0));
        QVERIFY(peak > 1.0 && peak < 1.2);
        QCOMPARE(FWTheme::out().durationMs, 260);
        QVERIFY(FWTheme::out().easing.valueForProgress(0.5) > 0.5);
    }

    void outsideAnyRootIsLight()
    {
        QWidget loose;
        QVERIFY(!FWTheme::of(&loose).dark);
        QVERIFY(!FWTheme::of(nullptr).dark);
    }

    void rootSwitchesOpenWindowLive()
    {
        SystemColorScheme::instance()->setOverride(true);
        auto probe = new Probe;
        auto deep = new Probe;
        deep->setParent(probe);
        FWRoot root(probe, Appearance::Auto);
        root.show();
        QVERIFY(FWTheme::of(deep).dark);
        // Content made before it was wrapped learns the theme at once (it may have baked colours already).
        QCOMPARE(deep->notices, 1);
        QVERIFY(deep->sawDark);

        // The desktop turns light: the open window follows without being rebuilt.
        SystemColorScheme::instance()->setOverride(false);
        QVERIFY(!FWTheme::of(deep).dark);
        QCOMPARE(deep->notices, 2);
        QVERIFY(!deep->sawDark);

        // An explicit dark choice wins over the light desktop and is imposed on standard controls.
        root.setAppearance(Appearance::Dark);
        QVERIFY(FWTheme::of(probe).dark);
        QCOMPARE(probe->palette().color(QPalette::Window), FWTheme(true).winBg());
        QCOMPARE(deep->notices, 3);

        // Light while the desktop is dark.
        SystemColorScheme::instance()->setOverride(true);
        root.setAppearance(Appearance::Light);
        QVERIFY(!FWTheme::of(probe).dark);
        QCOMPARE(probe->palette().color(QPalette::Window), FWTheme(false).winBg());

        // Back to auto: the desktop (dark) decides again, and the window palette is no longer imposed.
        root.setAppearance(Appearance::Auto);
        QVERIFY(FWTheme::of(probe).dark);
        QVERIFY(!root.testAttribute(Qt::WA_SetPalette));
    }
};

QTEST_MAIN(TestTheme)
#include "tst_Theme.moc"
