#pragma once

#include "support/Require.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// A private D-Bus daemon for one test, with no services and no activation: it stands in for both the session and
// the system bus. Each connect() opens a new connection to it (one for the code under test, one per fake service).
class PrivateBus {
public:
    ~PrivateBus();

    // Starts dbus-daemon; false (see error()) when it did not come up.
    bool start();
    QString error() const { return m_error; }
    QString address() const { return m_address; }
    QDBusConnection connect(const QString &name);

    // True when dbus-daemon is installed.
    static bool available() { return !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty(); }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_error;
    QStringList m_names;
};
