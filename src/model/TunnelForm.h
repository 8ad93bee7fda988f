#pragma once

#include "model/Tunnel.h"

#include <optional>

class UserDefaults;

// The editable working copy behind the tunnel editor. It checks nothing: apply() copies every field as typed.
struct TunnelForm {
    TunnelType type = TunnelType::Local;
    QString name;
    QString host;
    QString sshPort = QStringLiteral("22");
    QString backupHost;
    QString backupSshPort;
    QString user;
    QString identity;
    QString bind = QStringLiteral("localhost");
    QString bindPort;
    QString targetHost = QStringLiteral("localhost");
    QString targetPort;
    bool compression = false;
    bool strictHostKey = true;
    QString keepAlive = QStringLiteral("30");
    QString extra;
    bool autostart = false;
    bool autoreconnect = true;
    bool showInMenu = true;
    bool autoSocksProxy = false;
    QString proxyJump;
    std::optional<QString> groupId;

    bool operator==(const TunnelForm &) const = default;

    // A fresh form proposing the stored defaults for the identity and host-key checking.
    static TunnelForm fresh(const UserDefaults &defaults);
    // A fresh form with every field taken from the tunnel.
    static TunnelForm from(const Tunnel &tunnel, const UserDefaults &defaults);
    // Writes the form's fields into the tunnel; its id and run-time fields stay.
    void apply(Tunnel &tunnel) const;
};
