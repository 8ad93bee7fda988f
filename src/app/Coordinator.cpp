#include "app/Coordinator.h"
#include "app/BuildIdentity.h"
#include "app/CardWindow.h"
#include "app/MenuBarImage.h"
#include "app/PopoverWindow.h"
#include "app/TrayMenu.h"
#include "engine/AppState.h"
#include "log/Log.h"
#include "model/GeneralSettings.h"
#include "model/UserDefaults.h"
#include "ssh/SSHManager.h"
#include "system/LoginItem.h"
#include "ui/controls/FWLabel.h"
#include "ui/theme/FWRoot.h"
#include "ui/theme/SystemColorScheme.h"
#include "ui/views/LogView.h"
#include "ui/views/PlainIconButton.h"
#include "ui/views/PopoverView.h"
#include "ui/views/PreferencesView.h"

#include <QApplication>
#include <QBoxLayout>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

Coordinator::Coordinator(AppState &state, Clock &clock, bool dev, const QString &displayName, CoordinatorViews views,
                         QObject *parent)
    : QObject(parent), m_state(state), m_clock(clock), m_dev(dev), m_displayName(displayName),
      m_views(std::move(views)), m_connectingFills{FlumeMark::Fill::Body, FlumeMark::Fill::Full, FlumeMark::Fill::Body,
                                                   FlumeMark::Fill::Outline}
{
    terminate = [] { QCoreApplication::quit(); };
    connectionTest = [](const Tunnel &tunnel, std::function<void(bool, const QString &)> done) {
        SSHManager::test(tunnel, [done](bool ok, const QString &message) { done(ok, message); });
    };
    if (!m_views.editor)
        m_views.editor = [this](const std::optional<QString> &id) { return makeEditor(id); };
    m_settings = new GeneralSettings(UserDefaults::defaultPath(m_dev), this);
    m_loginItem = std::make_unique<LoginItem>();
    // The theme chosen in an earlier run, kept whenever it changes.
    m_state.setAppearance(m_settings->appearance());
    connect(&m_state, &AppState::appearanceChanged, m_settings,
            [this](Appearance appearance) { m_settings->setAppearance(appearance); });
    if (!m_views.preferences)
        m_views.preferences = [this] { return makePreferences(); };
    if (!m_views.popover)
        m_views.popover = [this] { return new PopoverView(m_state, viewActions(), m_displayName); };
    if (!m_views.log)
        m_views.log = [this](const QString &id) { return new LogView(m_state, viewActions(), id); };
    m_popover = new PopoverWindow(wrap(m_views.popover()));
    connect(SystemColorScheme::instance(), &SystemColorScheme::changed, this, [this] {
        if (m_trayIcon)
            setImage(m_shownFill);
    });
}

ViewActions Coordinator::viewActions()
{
    QPointer<Coordinator> self(this);
    auto call = [self](void (Coordinator::*method)()) {
        return [self, method] {
            if (self)
                (self->*method)();
        };
    };
    auto callWithId = [self](void (Coordinator::*method)(const QString &)) {
        return [self, method](const QString &id) {
            if (self)
                (self->*method)(id);
        };
    };
    ViewActions actions;
    actions.newTunnel = call(&Coordinator::newTunnel);
    actions.openPreferences = call(&Coordinator::openPreferences);
    actions.quit = call(&Coordinator::quit);
    actions.closePopover = call(&Coordinator::closePopover);
    actions.editTunnel = callWithId(&Coordinator::editTunnel);
    actions.viewLog = callWithId(&Coordinator::viewLog);
    auto closer = [self](Slot slot) {
        return [self, slot] {
            if (self)
                self->closeCard(slot);
        };
    };
    actions.closeLog = closer(Slot::Log);
    actions.closeEditor = closer(Slot::Editor);
    actions.closePreferences = closer(Slot::Preferences);
    return actions;
}

QColor Coordinator::templateInk()
{
    // Only the macOS menu bar tints template images for its background; other trays show the picture as drawn, so
    // it is drawn in the colour that reads on the desktop's light or dark scheme (black would vanish on a dark
    // panel).
    if (QGuiApplication::platformName() == QLatin1String("cocoa"))
        return Qt::black;
    return SystemColorScheme::instance()->isDark() ? QColor(Qt::white) : QColor(Qt::black);
}

Coordinator::~Coordinator()
{
    if (m_connectingTimer)
        m_clock.cancel(m_connectingTimer);
    for (QPointer<CardWindow> *window : {&m_prefsWindow, &m_editorWindow, &m_logWindow})
        delete window->data();
    delete m_fallback.data();
    delete m_popover;
    delete m_trayIcon;
    delete m_trayMenu;
}

FWRoot *Coordinator::wrap(QWidget *view)
{
    auto root = new FWRoot(view, m_state.appearance());
    connect(&m_state, &AppState::appearanceChanged, root, &FWRoot::setAppearance);
    return root;
}

void Coordinator::install()
{
    m_trayIcon = new QSystemTrayIcon(this);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            togglePopover();
    });
    m_trayMenu = new TrayMenu;
    connect(m_trayMenu->openAction(), &QAction::triggered, this, &Coordinator::openPopover);
    connect(m_trayMenu->newTunnelAction(), &QAction::triggered, this, &Coordinator::newTunnel);
    connect(m_trayMenu->preferencesAction(), &QAction::triggered, this, &Coordinator::openPreferences);
    connect(m_trayMenu->quitAction(), &QAction::triggered, this, &Coordinator::quit);
    // The menu lives outside every themed window: it takes the theme in force each time it opens.
    connect(m_trayMenu, &QMenu::aboutToShow, this,
            [this] { m_trayMenu->setPalette(FWRoot::paletteFor(FWTheme(FWRoot::isDark(m_state.appearance())))); });
    m_trayIcon->setContextMenu(m_trayMenu);
    auto refresh = [this] { refreshTrayIcon(); };
    connect(&m_state, &AppState::tunnelsChanged, this, refresh, Qt::QueuedConnection);
    connect(&m_state, &AppState::tunnelChanged, this, refresh, Qt::QueuedConnection);
    connect(&m_state, &AppState::glyphVariantChanged, this, refresh, Qt::QueuedConnection);
    refreshTrayIcon();
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_trayIcon->show();
    } else {
        // A desktop without a tray area still needs a way in: the popover's content as an ordinary window.
        Log::app(Log::Level::Default,
                 QStringLiteral("no system tray available: showing the popover as a window instead"));
        auto window = new PopoverWindow(wrap(m_views.popover()), true);
        window->setWindowTitle(m_displayName);
        window->setWindowIcon(QIcon(QPixmap::fromImage(m_image)));
        // Queued: quitting closes every window first, and one still inside its own close refuses, which would
        // cancel the quit.
        connect(window, &PopoverWindow::closed, this, &Coordinator::quit, Qt::QueuedConnection);
        window->show();
        m_fallback = window;
    }
    Log::app(
        Log::Level::Default,
        QStringLiteral("status item installed (dev=%1)").arg(m_dev ? QStringLiteral("true") : QStringLiteral("false")));
}

QString Coordinator::statusToolTip() const
{
    // A tray item here has no title beside its icon, so the count of several tunnels goes into the tool tip (and
    // onto the icon as a badge).
    const int count = m_title.trimmed().toInt();
    return count ? QStringLiteral("%1 — %2 connected").arg(m_displayName).arg(count) : m_displayName;
}

void Coordinator::refreshTrayIcon()
{
    if (!m_trayIcon)
        return;
    const GlyphVariant variant = m_state.glyphVariant();
    m_title = variant == GlyphVariant::Several ? QStringLiteral(" %1").arg(m_state.activeCount()) : QString();
    m_trayIcon->setToolTip(statusToolTip());
    m_trayMenu->setConnectedCount(m_state.activeCount());
    if (variant == GlyphVariant::Connecting) {
        startConnectingAnimation();
        return;
    }
    if (m_connectingTimer) {
        m_clock.cancel(m_connectingTimer);
        m_connectingTimer = 0;
    }
    setImage(variant == GlyphVariant::None ? FlumeMark::Fill::Outline : FlumeMark::Fill::Full);
}

void Coordinator::startConnectingAnimation()
{
    if (m_connectingTimer)
        return;
    m_connectingFrame = 0;
    renderConnectingFrame();
    QPointer<Coordinator> self(this);
    m_connectingTimer = m_clock.every(connectingIntervalMs, [self] {
        if (!self)
            return;
        self->m_connectingFrame = int((self->m_connectingFrame + 1) % self->m_connectingFills.size());
        self->renderConnectingFrame();
    });
}

void Coordinator::renderConnectingFrame()
{
    if (!m_trayIcon)
        return;
    setImage(m_connectingFills.at(m_connectingFrame));
}

void Coordinator::setImage(FlumeMark::Fill fill)
{
    // Trays other than the macOS menu bar show the picture as drawn on a panel whose colour the application cannot
    // know: a rim in the opposite colour keeps the glyph readable on either, and the count of several connected
    // tunnels (the title beside the icon on macOS) becomes a badge.
    MenuBarExtras extras;
    if (QGuiApplication::platformName() != QLatin1String("cocoa")) {
        const QColor ink = templateInk();
        extras.edge = ink.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black);
        extras.edge.setAlphaF(0.85);
        extras.badge = m_title.trimmed().toInt();
    }
    const MenuBarImage picture = menuBarImage(fill, iconSize, m_dev, templateInk(), extras);
    m_image = picture.image;
    m_imageIsTemplate = picture.isTemplate;
    m_shownFill = fill;
    QIcon icon(QPixmap::fromImage(picture.image));
    icon.setIsMask(picture.isTemplate);
    m_trayIcon->setIcon(icon);
    if (m_fallback)
        m_fallback->setWindowIcon(icon);
}

void Coordinator::togglePopover()
{
    if (!m_trayIcon)
        return;
    if (m_popover->isVisible()) {
        m_popover->close();
        return;
    }
    m_popover->adjustSize();
    m_popover->showAt(m_trayIcon->geometry());
}

void Coordinator::openPopover()
{
    if (m_fallback) {
        m_fallback->show();
        m_fallback->raise();
        m_fallback->activateWindow();
        return;
    }
    if (!m_trayIcon || m_popover->isVisible())
        return;
    m_popover->adjustSize();
    m_popover->showAt(m_trayIcon->geometry());
}

void Coordinator::closePopover()
{
    if (m_popover->isVisible())
        m_popover->close();
}

QPointer<CardWindow> &Coordinator::slot(Slot slot)
{
    switch (slot) {
    case Slot::Preferences:
        return m_prefsWindow;
    case Slot::Editor:
        return m_editorWindow;
    case Slot::Log:
        return m_logWindow;
    }
    return m_prefsWindow;
}

CardWindow *Coordinator::card(Slot which) const
{
    return const_cast<Coordinator *>(this)->slot(which).data();
}

void Coordinator::closeCard(Slot which)
{
    if (CardWindow *window = card(which))
        window->close();
}

QWidget *Coordinator::makeEditor(const std::optional<QString> &editingId)
{
    // The defaults for new tunnels are read afresh at every opening.
    const UserDefaults defaults(UserDefaults::defaultPath(m_dev));
    TunnelForm form = TunnelForm::fresh(defaults);
    if (editingId) {
        if (const Tunnel *tunnel = m_state.tunnel(*editingId))
            form = TunnelForm::from(*tunnel, defaults);
    }
    QPointer<Coordinator> self(this);
    auto test = [self](const Tunnel &tunnel, std::function<void(bool, const QString &)> done) {
        if (self && self->connectionTest)
            self->connectionTest(tunnel, std::move(done));
    };
    return new EditorSheet(m_state, viewActions(), m_clock, test, form, editingId);
}

void Coordinator::presentCard(Slot which, bool floating, int width, QWidget *view)
{
    QPointer<CardWindow> &held = slot(which);
    if (CardWindow *old = held.data()) {
        // The replaced card goes without reporting its close: its edits are dropped with it.
        held = nullptr;
        old->disconnect(this);
        old->close();
        old->deleteLater();
    }
    auto window = new CardWindow(width, floating);
    window->setContent(wrap(view));
    held = window;
    if (which == Slot::Editor) {
        // A closed editor keeps nothing: the next opening starts from the form it is given.
        connect(window, &CardWindow::closed, this, [this, window] {
            if (m_editorWindow == window) {
                m_editorWindow = nullptr;
                window->deleteLater();
            }
        });
    }
    window->show();
    window->raise();
    window->activateWindow();
}

QWidget *Coordinator::makePreferences()
{
    PreferencesServices services;
    services.settings = m_settings;
    services.loginItem = m_loginItem.get();
    services.actions = viewActions();
    QPointer<Coordinator> self(this);
    services.close = [self] {
        if (!self || !self->m_prefsWindow)
            return;
        self->m_prefsWindow->close();
        self->m_prefsWindow->deleteLater();
        self->m_prefsWindow.clear();
    };
    services.dev = m_dev;
    services.displayName = m_displayName;
    services.versionText =
        BuildIdentity(m_dev ? BuildIdentity::Kind::Development : BuildIdentity::Kind::Regular).appVersionString();
    // No software updater on this platform: the About tab shows no update button.
    return new PreferencesView(m_state, std::move(services));
}

void Coordinator::openPreferences()
{
    closePopover();
    presentCard(Slot::Preferences, false, 720, m_views.preferences());
}

void Coordinator::newTunnel()
{
    closePopover();
    presentCard(Slot::Editor, true, 540, m_views.editor(std::nullopt));
}

void Coordinator::editTunnel(const QString &id)
{
    if (!m_state.tunnel(id))
        return;
    closePopover();
    presentCard(Slot::Editor, true, 540, m_views.editor(id));
}

void Coordinator::viewLog(const QString &id)
{
    if (!m_state.tunnel(id))
        return;
    closePopover();
    presentCard(Slot::Log, true, 460, m_views.log(id));
}

void Coordinator::quit()
{
    Log::app(Log::Level::Default, QStringLiteral("quit requested"));
    if (terminate)
        terminate();
}
