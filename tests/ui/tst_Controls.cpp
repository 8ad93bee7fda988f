#include "support/PrivateBus.h"
#include "ui/UiDriver.h"
#include "ui/brand/AppIcon.h"
#include "ui/brand/DrawnAppIcon.h"
#include "ui/brand/FlumeMark.h"
#include "ui/brand/Sparkline.h"
#include "ui/controls/FWCheck.h"
#include "ui/controls/Field.h"
#include "ui/controls/GroupCaption.h"
#include "ui/controls/Icon.h"
#include "ui/controls/Segmented.h"
#include "ui/controls/SubHead.h"
#include "ui/theme/SystemColorScheme.h"
#include <QBoxLayout>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QPainter>
#include <QToolTip>

#include <memory>

namespace {

using S = TunnelStatus;

QImage blank(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Notes, at each theme notice it receives, whether the theme it then reads is dark.
class Probe : public QWidget {
public:
    QList<bool> seen;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == FWRoot::themeChangeEvent())
            seen << FWTheme::of(this).dark;
        return QWidget::event(event);
    }
};

// The theme a widget reads and the palette its standard parts are given agree on `dark`.
bool shows(QWidget *widget, bool dark)
{
    return FWTheme::of(widget).dark == dark && widget->palette().color(QPalette::Window) == FWTheme(dark).winBg();
}

// The desktop's settings portal as far as the colour scheme goes: prefers dark when read, announces changes.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    explicit FakePortal(QDBusConnection bus) : m_bus(bus) {}

    void announce(uint value, const QString &key = QStringLiteral("color-scheme"))
    {
        QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/portal/desktop",
                                                         "org.freedesktop.portal.Settings", "SettingChanged");
        signal << "org.freedesktop.appearance" << key << QVariant::fromValue(QDBusVariant(value));
        m_bus.send(signal);
    }

public slots:
    QDBusVariant Read(const QString &, const QString &) { return QDBusVariant(1u); }

private:
    QDBusConnection m_bus;
};
} // namespace

class TestControls : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FakePortal> m_portal;

private slots:
    void initTestCase()
    {
        // The scheme watcher reads the session bus when first used: the private bus and its portal come first.
        m_bus = std::make_unique<PrivateBus>();
        if (!m_bus->start())
            return;
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus->address().toUtf8());
        QDBusConnection bus = m_bus->connect("fake-portal");
        m_portal = std::make_unique<FakePortal>(bus);
        QVERIFY(bus.registerObject("/org/freedesktop/portal/desktop", m_portal.get(), QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService("org.freedesktop.portal.Desktop"));
    }

    // A switch or a check reports the tap and leaves the change to its owner; only turning on squashes the knob.
    void switchAndCheckReportTaps()
    {
        WarpToggle toggle(false);
        QList<bool> reported;
        connect(&toggle, &WarpToggle::changed, this, [&](bool value) { reported.append(value); });
        toggle.show();
        QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(20, 12));
        QVERIFY(!toggle.isOn() && toggle.warp());
        toggle.warpHold()->finish();
        toggle.setOn(true);
        QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(20, 12));
        QCOMPARE(reported, (QList<bool>{true, false}));
        QVERIFY(toggle.isOn() && !toggle.warp());

        FWCheck check(false);
        int actions = 0;
        connect(&check, &QAbstractButton::clicked, this, [&] { ++actions; });
        check.show();
        QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(9, 9));
        QVERIFY(actions == 1 && !check.on());
    }

    void statusDotRingFollowsStatus()
    {
        StatusDot dot(S::Connecting, 8);
        dot.show();
        QVERIFY(dot.showsPulseRing() && !dot.showsHalo());
        for (auto [status, halo] : {std::pair{S::Connected, true}, {S::Idle, false}, {S::Failed, true}}) {
            dot.setStatus(status);
            QVERIFY(!dot.showsPulseRing() && dot.showsHalo() == halo);
        }

        dot.setWarp(true);
        QVERIFY(dot.showsRipple());
    }

    void captionsIconsAndLookupsOutsideTheTable()
    {
        // Captions upper-case their text only.
        QCOMPARE(GroupCaption("work", "a-b").displayedText(), QStringLiteral("WORK · a-b"));
        QCOMPARE(GroupCaption::captionText("Home", std::nullopt), QStringLiteral("HOME"));
        QCOMPARE(SubHead("Advanced").displayedText(), QStringLiteral("ADVANCED"));
        // The segmented control maps no option outside it.
        QCOMPARE(Segmented({{"auto", "Auto"}, {"dark", "Dark"}}, "auto").optionAt(QPointF(-5, -5)), -1);

        // Every short name and every symbol the menus use directly has a drawing.
        for (const char *name :
             {"gear",  "plus",  "minus", "pencil",  "duplicate", "trash",      "ellipsis", "search", "x",    "check",
              "chevR", "chevD", "list",  "sliders", "shield",    "import",     "info",     "key",    "bolt", "power",
              "copy",  "bell",  "moon",  "network", "globe",     "arrowRight", "folder",   "refresh"})
            QVERIFY2(Icon::hasSymbol(Icon::symbolFor(name)), name);
        for (const char *symbol : {"globe", "pencil", "square.on.square", "list.bullet", "trash", "chevron.right",
                                   "chevron.down", "questionmark"})
            QVERIFY2(Icon::hasSymbol(QLatin1String(symbol)), symbol);
        // Names match exactly; anything else is the question mark.
        QCOMPARE(Icon::symbolFor("Gear"), QStringLiteral("questionmark"));
    }

    void nestedFieldJoiningADarkWindowTakesItsColours()
    {
        // A text field inside a widget that is added to an already themed window gets no theme notice of its own.
        FWRoot root(new QWidget, Appearance::Dark);
        auto field = new FWTextField(QStringLiteral("host"));
        auto layout = new QVBoxLayout(root.content());
        root.show();
        auto holder = new Field(QStringLiteral("SSH host"), field);
        layout->addWidget(holder);
        holder->show();
        QCoreApplication::processEvents();
        QCOMPARE(field->palette().color(QPalette::PlaceholderText), FWTheme(true).text3());
        QCOMPARE(field->palette().color(QPalette::Text), FWTheme(true).text());
    }

    void sparklinePointsFollowTheRule()
    {
        // Fewer than two samples draw nothing; a flat series sits in the bottom band, spread evenly; a span too
        // small to divide by is widened.
        const QList<std::pair<QList<double>, QList<QPointF>>> cases{
            {{}, {}},
            {{42}, {}},
            {{5, 15}, {{0, 15.84}, {56, 2.16}}},
            {{10, 10, 10}, {{0, 15.84}, {28, 15.84}, {56, 15.84}}},
            {{1.00001, 1.0}, {{0, 14.472}, {56, 15.84}}},
        };
        for (const auto &[samples, points] : cases)
            QCOMPARE(sparklinePoints(samples, 56, 18), points);
    }

    void markFillsAndMissingIconPicture()
    {
        const QPoint body(10, 13), collar(10, 5);
        const QList<std::tuple<FlumeMark::Fill, QPoint, int>> inks{{FlumeMark::Fill::Outline, body, 0},
                                                                   {FlumeMark::Fill::Body, body, 255},
                                                                   {FlumeMark::Fill::Body, collar, 0},
                                                                   {FlumeMark::Fill::Full, collar, 255}};
        for (const auto &[fill, point, alpha] : inks) {
            QImage image = blank({20, 20});
            QPainter painter(&image);
            FlumeMark::paint(painter, {0, 0}, fill, 20, Qt::black);
            QCOMPARE(qAlpha(image.pixel(point)), alpha);
        }

        // No icon resource here: the lookup says so and the drawn icon stands in.
        QImage viaLookup = blank({64, 64}), drawn = blank({64, 64});
        {
            QPainter a(&viaLookup), b(&drawn);
            QVERIFY(!AppIcon::paint(a, QRectF(0, 0, 64, 64), true, false));
            DrawnAppIcon::paint(b, QRectF(0, 0, 64, 64), true);
        }
        QCOMPARE(viaLookup, drawn);
    }

    void openWindowFollowsTheDesktopAndTheChoice()
    {
        if (!m_portal) {
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL(qPrintable(m_bus->error()));
            QSKIP(qPrintable(m_bus->error()));
        }
        QWidget loose; // outside any root: light
        QVERIFY(!FWTheme::of(&loose).dark);
        QTRY_VERIFY(SystemColorScheme::instance()->isDark()); // the portal's answer at start
        auto probe = new Probe;
        auto deep = new Probe; // made before it was wrapped: it may have baked colours already
        deep->setParent(probe);
        // An explicit choice wins over the desktop; back to auto, the desktop decides.
        FWRoot root(probe, Appearance::Light);
        root.show();
        QVERIFY(shows(probe, false));
        root.setAppearance(Appearance::Auto);
        QVERIFY(shows(probe, true));

        // The portal's signal reaches the open window without a rebuild, and the standard parts (menus, tooltips)
        // follow the theme rather than the toolkit's blue and pale yellow.
        for (bool dark : {false, true}) {
            m_portal->announce(dark ? 1 : 2);
            QTRY_COMPARE(root.theme().dark, dark);
            QVERIFY(shows(probe, dark));
            QCOMPARE(probe->palette().color(QPalette::Highlight), FWTheme(dark).accent());
            QCOMPARE(QToolTip::palette().color(QPalette::ToolTipBase), FWTheme(dark).surface());
        }

        // Another setting changes nothing: read as the scheme, it would add two more notices.
        m_portal->announce(2, "accent-color");
        m_portal->announce(1);
        m_portal->announce(2);
        QTRY_VERIFY(!root.theme().dark);

        // A portal with no preference leaves it to the desktop palette, whose changes are followed too.
        const QPalette before = QApplication::palette();
        QApplication::setPalette(QPalette(QColor(30, 30, 30)));
        m_portal->announce(0);
        QTRY_VERIFY(root.theme().dark);
        QApplication::setPalette(QPalette(Qt::white));
        QTRY_VERIFY(!root.theme().dark);
        QCOMPARE(deep->seen, (QList<bool>{false, true, false, true, false, true, false}));
        QApplication::setPalette(before);
    }
};

QTEST_MAIN(TestControls)
#include "tst_Controls.moc"
