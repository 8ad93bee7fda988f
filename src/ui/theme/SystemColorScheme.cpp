#include "ui/theme/SystemColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// The portal wraps the value in one or two variants depending on its version.
uint unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toUInt();
}
} // namespace

SystemColorScheme *SystemColorScheme::instance()
{
    static SystemColorScheme *scheme = new SystemColorScheme(qApp);
    return scheme;
}

SystemColorScheme::SystemColorScheme(QObject *parent) : QObject(parent)
{
    if (qApp)
        qApp->installEventFilter(this);
    readPortal();
    m_last = isDark();
}

bool SystemColorScheme::isDark() const
{
    if (m_override)
        return *m_override;
    if (m_portalDark)
        return *m_portalDark;
    return paletteIsDark();
}

void SystemColorScheme::setOverride(std::optional<bool> dark)
{
    m_override = dark;
    notifyIfChanged();
}

bool SystemColorScheme::paletteIsDark()
{
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

void SystemColorScheme::readPortal()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(portalSettingChanged(QDBusMessage)));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    call << kGroup << kKey;
    auto watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QVariant> reply = *w;
        if (!reply.isError())
            applyPortalValue(unwrap(reply.value()));
        w->deleteLater();
    });
}

void SystemColorScheme::portalSettingChanged(const QDBusMessage &message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() == 3 && arguments.at(0).toString() == kGroup && arguments.at(1).toString() == kKey)
        applyPortalValue(unwrap(arguments.at(2)));
}

void SystemColorScheme::applyPortalValue(uint value)
{
    // 1 prefers dark, 2 prefers light, 0 states no preference: then the palette decides.
    if (value == 1)
        m_portalDark = true;
    else if (value == 2)
        m_portalDark = false;
    else
        m_portalDark.reset();
    notifyIfChanged();
}

bool SystemColorScheme::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        notifyIfChanged();
    return QObject::eventFilter(watched, event);
}

void SystemColorScheme::notifyIfChanged()
{
    const bool dark = isDark();
    if (dark == m_last)
        return;
    m_last = dark;
    emit changed(dark);
}
