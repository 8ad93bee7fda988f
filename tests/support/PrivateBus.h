#pragma once

#include <QProcess>
#include <QString>

// A private D-Bus session bus for one test program: a dbus-daemon of its own, whose address goes into
// DBUS_SESSION_BUS_ADDRESS so that the code under test talks to it and to the fake desktop services the test
// registers there, never to the user's session. Start it before anything first uses the session bus.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();

    // Empty when no dbus-daemon could be started (then error() says why).
    QString address() const { return m_address; }
    QString error() const { return m_error; }

private:
    QProcess m_daemon;
    QString m_address;
    QString m_error;
};
