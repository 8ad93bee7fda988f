#pragma once

#include "ui/views/PreferencesServices.h"

#include <QWidget>

class AppState;
class FWLabel;
class Segmented;
class WarpToggle;

// The General tab: launch at login (the autostart entry), notifications on connect and disconnect, what happens
// around sleep and wake, and the appearance. Every switch shows and changes the stored setting directly.
class GeneralTab : public QWidget {
    Q_OBJECT
public:
    GeneralTab(AppState &state, PreferencesServices services, QWidget *parent = nullptr);

    WarpToggle *loginSwitch() const { return m_login; }
    WarpToggle *notifyConnectSwitch() const { return m_notifyConnect; }
    WarpToggle *notifyDisconnectSwitch() const { return m_notifyDisconnect; }
    WarpToggle *sleepDisconnectSwitch() const { return m_sleepDisconnect; }
    WarpToggle *wakeReconnectSwitch() const { return m_wakeReconnect; }
    Segmented *appearancePicker() const { return m_appearance; }
    // Why the autostart entry could not be changed; empty when it could.
    QString loginError() const;

private:
    void setLogin(bool on);

    AppState &m_state;
    PreferencesServices m_services;
    WarpToggle *m_login = nullptr;
    FWLabel *m_loginError = nullptr;
    WarpToggle *m_notifyConnect = nullptr;
    WarpToggle *m_notifyDisconnect = nullptr;
    WarpToggle *m_sleepDisconnect = nullptr;
    WarpToggle *m_wakeReconnect = nullptr;
    Segmented *m_appearance = nullptr;
};
