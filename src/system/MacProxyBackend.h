#pragma once

#include "system/ProxyBackend.h"

#include <optional>

// The macOS system SOCKS proxy of the primary network service: read through scutil and networksetup, switched by
// one shell command run with administrator rights through osascript (the system asks the user every time).
// Tool paths can be replaced so that the backend runs against stand-in tools anywhere.
class MacProxyBackend : public ProxyBackend {
public:
    struct Tools {
        QString scutil = QStringLiteral("/usr/sbin/scutil");
        QString networksetup = QStringLiteral("/usr/sbin/networksetup");
        QString osascript = QStringLiteral("/usr/bin/osascript");
    };

    // The SOCKS proxy setting of one service as networksetup reports it.
    struct SocksState {
        bool enabled = false;
        QString host;
        QString port = QStringLiteral("0");
        bool operator==(const SocksState &) const = default;
    };

    MacProxyBackend() = default;
    explicit MacProxyBackend(Tools tools) : m_tools(std::move(tools)) {}

    QString name() const override { return QStringLiteral("macos"); }
    std::optional<QJsonObject> enable(const QString &host, const QString &port) override;
    QString restoreCommand(const QJsonObject &prior) const override;
    bool restore(const QJsonObject &prior) override;
    bool pointsAt(const QJsonObject &prior, const QString &host, const QString &port) const override;

    // scutil's answer to `command`, the value of the first "key : value" line whose key matches; none without one
    // or when scutil cannot be started.
    std::optional<QString> scutil(const QString &command, const QString &key) const;
    // The user-visible name of the primary network service.
    std::optional<QString> primaryService() const;
    // The service's SOCKS setting; (false, "", "0") when networksetup cannot be started.
    SocksState currentSocks(const QString &service) const;
    // The shell command that sets the service's SOCKS server and port and switches it on.
    QString setCmd(const QString &service, const QString &host, const QString &port) const;
    // Runs a shell command with administrator rights; true when it ran and exited with status 0.
    bool runAdmin(const QString &command) const;

    // The parsing and text rules behind the calls above, on their own for tests and fuzzing.
    static std::optional<QString> scutilValue(const QString &output, const QString &key);
    static SocksState parseSocks(const QString &output);
    static QString appleScriptEscape(const QString &command);
    static QString adminScript(const QString &command);

private:
    Tools m_tools;
};
