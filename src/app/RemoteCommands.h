#pragma once

#include "app/TunnelSnapshot.h"

#include <QList>
#include <QStringList>
#include <QTextStream>

// `flumewire start|stop|toggle ID...` and `flumewire status`: the command line's hand on, and view of, the running
// instance (the tray app or `flumewire up`) through its session D-Bus interface.
class RemoteCommands {
public:
    // The exit status when no instance can be reached.
    static constexpr int notRunningStatus = 3;
    static QString notRunningMessage();

    RemoteCommands(QTextStream &out, QTextStream &err, bool dev);

    // verb is start, stop or toggle; each id names a tunnel or a group. 0 when every id was acted on, 1 (one line per
    // id that was not) otherwise, 3 when no instance runs, 2 when no id is given.
    int act(const QString &verb, const QStringList &args);
    // The running instance's tunnels as lines, JSON or waybar objects, or the saved ones as idle (saying so) when none
    // runs. follow prints changes until interrupted. The command line has checked that the options go together.
    int status(bool json, bool follow, bool waybar);

private:
    int fail(const QString &message);
    // The saved tunnels as the store loads them, all idle.
    QList<TunnelSnapshot> savedTunnels() const;

    QTextStream &m_out;
    QTextStream &m_err;
    bool m_dev = false;
};
