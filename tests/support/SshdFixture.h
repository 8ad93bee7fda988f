#pragma once

#include "model/Tunnel.h"
#include "model/TunnelType.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

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
    // A pre-login banner the server sends every client (call before start()).
    void setBanner(const QByteArray &text) { m_banner = text; }
    // Ends every session and the listener, and waits for them.
    void stop();
    QString error() const { return m_error; }

    quint16 port() const { return m_port; }
    QString sshConfigPath() const;
    // The same client configuration but offering only a key the server does not accept.
    QString wrongKeySshConfigPath() const;
    QString clientKeyPath() const;
    // A private key that is not in authorized_keys.
    QString wrongKeyPath() const;
    QString userName() const { return m_user; }
    // The server's own log (stderr) so far.
    QByteArray serverLog() const { return m_log; }

    // A tunnel to this server: host 127.0.0.1, this port, the current user, extra "-F <ssh_config>"; the caller sets
    // bindPort and targetPort.
    Tunnel tunnel(TunnelType type, const QString &id) const;

    // Kills the per-connection server processes (the listener stays), as when a server drops its clients.
    void killSessions();
    // Processes serving connections right now.
    QList<qint64> sessionPids() const;

    // True when /usr/sbin/sshd exists. Otherwise: a failure under CI=true, a loud skip elsewhere (see the macro).
    static bool available();

private:
    bool runKeygen(const QString &path);
    bool writeFile(const QString &name, const QByteArray &data) const;

    QTemporaryDir m_dir;
    QProcess m_sshd;
    QByteArray m_log;
    QByteArray m_banner;
    QString m_error;
    QString m_user;
    quint16 m_port = 0;
};

// Use at the start of a test (or initTestCase): fails under CI=true and skips loudly elsewhere when sshd is missing.
#define SSHD_REQUIRE_OR_SKIP()                                                                                         \
    do {                                                                                                               \
        if (!SshdFixture::available()) {                                                                               \
            if (qEnvironmentVariable("CI") == QLatin1String("true"))                                                   \
                QFAIL("/usr/sbin/sshd is missing: install openssh-server (tools/packages.sh lists it)");               \
            qWarning("*** /usr/sbin/sshd is missing: SKIPPING the real-server tests (install openssh-server) ***");    \
            QSKIP("/usr/sbin/sshd is missing");                                                                        \
        }                                                                                                              \
    } while (false)
