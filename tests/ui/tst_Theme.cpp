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

    void springOvershootsThenSettles()
    {
        const QEasingCurve &warp = FWTheme::warp().easing;
        qreal peak = 0;
        for (int i = 0; i <= 100; ++i)
            peak = std::max(peak, warp.valueForProgress(i / 100.0));
        QVERIFY(peak > 1.0 && peak < 1.2);
        QCOMPARE(warp.valueForProgress(1), 1.0);
    }

    void rootSwitchesOpenWindowLive()
    {
        QWidget loose; // outside any root: light
        QVERIFY(!FWTheme::of(&loose).dark);
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
