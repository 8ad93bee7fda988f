#pragma once

#include "model/Appearance.h"
#include "model/UserDefaults.h"

#include <QObject>

// The General preferences that outlive a run: the notification and sleep switches and the theme choice, kept in the
// user defaults. One shared instance, so the preferences window and the code that acts on the switches agree.
class GeneralSettings : public QObject {
    Q_OBJECT
public:
    explicit GeneralSettings(const QString &defaultsPath, QObject *parent = nullptr);

    bool notifyOnConnect() const;
    bool notifyOnDisconnect() const;
    bool disconnectOnSleep() const;
    bool reconnectOnWake() const;
    Appearance appearance() const;

    // Each setter stores at once; false when the defaults file could not be written (the value holds for this run).
    bool setNotifyOnConnect(bool on);
    bool setNotifyOnDisconnect(bool on);
    bool setDisconnectOnSleep(bool on);
    bool setReconnectOnWake(bool on);
    bool setAppearance(Appearance appearance);

    // "light" and "dark" name those; anything else is auto.
    static Appearance appearanceFrom(const QString &text);

    UserDefaults &defaults() { return m_defaults; }

signals:
    void changed();

private:
    bool flag(const char *key, bool fallback) const;
    bool store(const char *key, const QJsonValue &value);

    UserDefaults m_defaults;
};
