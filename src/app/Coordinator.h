#pragma once

#include "engine/Clock.h"
#include "ui/brand/FlumeMark.h"
#include "ui/views/EditorSheet.h"
#include "ui/views/ViewActions.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class AppState;
class CardWindow;
class FWRoot;
class GeneralSettings;
class LoginItem;
class PopoverWindow;
class QSystemTrayIcon;
class TrayMenu;
class QWidget;

// The views the coordinator hosts. Each makes a fresh widget; by default all of them are the real views.
struct CoordinatorViews {
    std::function<QWidget *()> popover;
    std::function<QWidget *()> preferences;
    // The editor for a new tunnel (no id) or for the saved tunnel with that id.
    std::function<QWidget *(const std::optional<QString> &editingId)> editor;
    std::function<QWidget *(const QString &id)> log;
};

// Owns the tray item, its popover and the three card windows, keeps the tray icon in step with the tunnels and
// opens cards on request. Main thread only.
class Coordinator : public QObject {
    Q_OBJECT
public:
    enum class Slot { Preferences, Editor, Log };

    Coordinator(AppState &state, Clock &clock, bool dev, const QString &displayName, CoordinatorViews views = {},
                QObject *parent = nullptr);
    ~Coordinator() override;

    // Creates and wires the tray item; without a tray on this desktop, opens the popover's content as a window.
    void install();
    void togglePopover();
    void openPreferences();
    void newTunnel();
    void editTunnel(const QString &id);
    void viewLog(const QString &id);
    void quit();

    // What ends the application after quit() (tests replace it).
    std::function<void()> terminate;
    // The editor's one-shot login test; by default SSHManager::test with the system's ssh.
    EditorSheet::ConnectionTest connectionTest;

    // Observable for tests and for the fallback window.
    bool hasTrayIcon() const { return m_trayIcon != nullptr; }
    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }
    QString statusTitle() const { return m_title; }
    QString statusToolTip() const;
    const QImage &statusImage() const { return m_image; }
    bool statusImageIsTemplate() const { return m_imageIsTemplate; }
    bool connectingTimerRunning() const { return m_connectingTimer != 0; }
    int connectingFrame() const { return m_connectingFrame; }
    const QList<FlumeMark::Fill> &connectingFills() const { return m_connectingFills; }
    // The stored General settings (shared with what acts on them) and the autostart entry.
    GeneralSettings &settings() { return *m_settings; }
    LoginItem &loginItem() { return *m_loginItem; }
    // The fill the icon shows now.
    FlumeMark::Fill shownFill() const { return m_shownFill; }
    PopoverWindow *popover() const { return m_popover; }
    CardWindow *card(Slot slot) const;
    // The window opened instead of the tray item when the desktop has no tray. Closing it quits: without a tray
    // nothing else would be left to reach the running tunnels.
    QWidget *fallbackWindow() const { return m_fallback; }
    // The tray icon's context menu.
    TrayMenu *trayMenu() const { return m_trayMenu; }

    static constexpr qreal iconSize = 18;
    static constexpr qint64 connectingIntervalMs = 300;

private:
    void refreshTrayIcon();
    void startConnectingAnimation();
    void renderConnectingFrame();
    void setImage(FlumeMark::Fill fill);
    // The colour of the production glyph on this desktop's tray.
    static QColor templateInk();
    // What the views may ask of the coordinator; safe to call after it is gone.
    ViewActions viewActions();
    void closePopover();
    void closeCard(Slot slot);
    QWidget *makeEditor(const std::optional<QString> &editingId);
    // Shows the popover when it is hidden (the tray menu's "Open Flumewire").
    void openPopover();
    void presentCard(Slot slot, bool floating, int width, QWidget *view);
    FWRoot *wrap(QWidget *view);
    QPointer<CardWindow> &slot(Slot slot);
    QWidget *makePreferences();

    AppState &m_state;
    Clock &m_clock;
    bool m_dev = false;
    QString m_displayName;
    CoordinatorViews m_views;
    GeneralSettings *m_settings = nullptr;
    std::unique_ptr<LoginItem> m_loginItem;
    QSystemTrayIcon *m_trayIcon = nullptr;
    TrayMenu *m_trayMenu = nullptr;
    PopoverWindow *m_popover = nullptr;
    QPointer<QWidget> m_fallback;
    QPointer<CardWindow> m_prefsWindow;
    QPointer<CardWindow> m_editorWindow;
    QPointer<CardWindow> m_logWindow;
    Clock::WorkId m_connectingTimer = 0;
    int m_connectingFrame = 0;
    QList<FlumeMark::Fill> m_connectingFills;
    QString m_title;
    QImage m_image;
    bool m_imageIsTemplate = true;
    FlumeMark::Fill m_shownFill = FlumeMark::Fill::Outline;
};
