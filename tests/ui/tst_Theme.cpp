#include "support/PrivateBus.h"
#include "ui/theme/FWRoot.h"
#include "ui/theme/FWTheme.h"
#include "ui/theme/SystemColorScheme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QTest>
#include <QToolTip>

#include <memory>

namespace {
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

// The desktop's settings portal as far as the colour scheme goes: prefers dark when asked, announces changes.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    explicit FakePortal(QDBusConnection bus) : m_bus(bus) {}

    void announce(uint value, const QString &key = QStringLiteral("color-scheme"))
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.Settings"),
                                                         QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << key << QVariant::fromValue(QDBusVariant(value));
        m_bus.send(signal);
    }

public slots:
    QDBusVariant Read(const QString &group, const QString &key)
    {
        if (group == QLatin1String("org.freedesktop.appearance") && key == QLatin1String("color-scheme"))
            return QDBusVariant(1u);
        return QDBusVariant(QString());
    }

private:
    QDBusConnection m_bus;
};
} // namespace

class TestTheme : public QObject {
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
        QDBusConnection bus = m_bus->connect(QStringLiteral("fake-portal"));
        m_portal = std::make_unique<FakePortal>(bus);
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), m_portal.get(),
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
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
        m_portal->announce(2, QStringLiteral("accent-color"));
        m_portal->announce(1);
        m_portal->announce(2);
        QTRY_VERIFY(!root.theme().dark);

        // The other way round too.
        root.setAppearance(Appearance::Dark);
        QVERIFY(shows(probe, true));
        root.setAppearance(Appearance::Auto);
        QVERIFY(shows(probe, false));

        // A portal with no preference leaves it to the desktop palette, whose changes are followed too.
        const QPalette before = QApplication::palette();
        QApplication::setPalette(QPalette(QColor(30, 30, 30)));
        m_portal->announce(0);
        QTRY_VERIFY(root.theme().dark);
        QApplication::setPalette(QPalette(Qt::white));
        QTRY_VERIFY(!root.theme().dark);
        QCOMPARE(deep->seen, (QList<bool>{false, true, false, true, false, true, false, true, false}));
        QApplication::setPalette(before);
    }
};

QTEST_MAIN(TestTheme)
#include "tst_Theme.moc"
