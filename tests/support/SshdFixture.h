#pragma once

#include "model/Tunnel.h"
#include "model/TunnelType.h"
#include "support/Require.h"

#include <QByteArray>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A throw-away OpenSSH server on 127.0.0.1 for end-to-end tests: fresh host and client keys, an sshd_config and a
// client ssh_config in a temporary folder, `/usr/sbin/sshd -D -e` on a free port in its own process group.
// Tunnels reach it by passing "-F <ssh_config>" through `extra`, so nothing under the user's ~/.ssh is used.
class SshdFixture {
public:
    SshdFixture();
    ~SshdFixture();

    // Writes keys and configuration and starts the server (on a free port, or on `port` when given); false (see
    // error()) when it did not come up.
    bool start(quint16 port = 0);
    QString error() const { return m_error; }

    quint16 port() const { return m_port; }
    QString sshConfigPath() const { return m_dir.filePath(QStringLiteral("ssh_config")); }
    // The same client configuration but offering only a key the server does not accept.
    QString wrongKeySshConfigPath() const { return m_dir.filePath(QStringLiteral("ssh_config_wrong_key")); }
    QString userName() const { return m_user; }

    // A tunnel to this server: host 127.0.0.1, this port, the current user, extra "-F <ssh_config>"; the caller sets
    // bindPort and targetPort.
    Tunnel tunnel(TunnelType type, const QString &id) const;

    // Sends a signal to every session process and everything below it: SIGSTOP freezes a session the way a dead
    // network path does (nothing passes, nothing fails), SIGCONT thaws it.
    void signalSessions(int signal) const;
    // Kills the session processes (the listener stays), as when a server drops its clients, and waits until the
    // listener has reaped them.
    void killSessions();

    static bool available() { return QFileInfo(QStringLiteral("/usr/sbin/sshd")).isExecutable(); }

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void stop();

    QTemporaryDir m_dir;
    QProcess m_sshd;
    QByteArray m_log;
    QString m_error;
    QString m_user;
    quint16 m_port = 0;
};

// Use at the start of a test (or initTestCase): fails under CI=true and skips loudly elsewhere when sshd is missing.
#define SSHD_REQUIRE_OR_SKIP()                                                                                         \
    REQUIRE_OR_SKIP(SshdFixture::available(), QStringLiteral("/usr/sbin/sshd (openssh-server)"))
