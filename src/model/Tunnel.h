#pragma once

#include "model/TunnelStatus.h"
#include "model/TunnelType.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

// One saved SSH port forward plus the run-time state the engine keeps for it. Ports are text exactly as typed.
struct Tunnel {
    // Saved fields.
    QString id;
    QString name;
    TunnelType type = TunnelType::Local;
    QString host;
    QString user;
    QString sshPort = QStringLiteral("22");
    QString bind = QStringLiteral("127.0.0.1");
    QString bindPort;
    QString targetHost;
    QString targetPort;
    QString identity;
    bool compression = false;
    bool strictHostKey = true;
    QString keepAlive = QStringLiteral("30");
    QString proxyJump;
    QString extra;
    bool autostart = false;
    bool autoreconnect = true;
    bool showInMenu = true;
    bool autoSocksProxy = false;
    QString backupHost;
    QString backupSshPort;
    std::optional<QString> groupId;

    // Run-time fields, never written.
    TunnelStatus status = TunnelStatus::Idle;
    std::optional<QString> reason;
    qint64 uptimeSec = 0;
    qint64 kbps = 0;
    int activeHostIndex = 0;
    QList<double> latencyMs;

    bool operator==(const Tunnel &) const = default;

    // Listening port: bindPort, or for a local or remote forward with none, the target port.
    QString fwdBindPort() const;
    // Listening end as "address:port".
    QString from() const;
    // Destination as "host:port", or "dynamic" for SOCKS.
    QString to() const;
    // "http://address:port" of a local forward's listening end; none for other kinds.
    std::optional<QUrl> browserURL() const;
    // True when backupHost holds more than spaces and tabs.
    bool hasBackup() const;
    // The record aimed at the backup server (host and, when given, port replaced), or itself without one.
    Tunnel viaBackup() const;

    // The ssh client's argument list and the one-line display command (built in ssh/SSHCommandLine.cpp).
    QStringList sshArguments() const;
    QString displayCommand() const;
    // "user@host", or host alone when user is empty.
    QString destination() const;

    // JSON form: always the 22 saved keys, plus "groupId" when grouped.
    QJsonObject toJson() const;
    // Decodes one record; none when a required key is missing or null, a type is wrong or "type" is unknown.
    static std::optional<Tunnel> fromJson(const QJsonValue &value);
};

// Trims spaces and tabs only (not other white space), as the backup-host tests need.
QString trimSpacesAndTabs(const QString &text);
