#pragma once

#include <QString>

// What the engine sees of the system SOCKS proxy switch. enable and disable return at once and do their work in
// the background; disable for an id that does not own the proxy does nothing; restoreOnQuit waits until a changed
// setting has been put back.
class SystemProxying {
public:
    virtual ~SystemProxying() = default;
    virtual void enable(const QString &id, const QString &host, const QString &port) = 0;
    virtual void disable(const QString &id) = 0;
    virtual void restoreOnQuit() = 0;
};

// Used where no system proxy can be switched: does nothing.
class NoSystemProxy : public SystemProxying {
public:
    void enable(const QString &, const QString &, const QString &) override {}
    void disable(const QString &) override {}
    void restoreOnQuit() override {}
};
