#pragma once

#include "model/Tunnel.h"

#include <QStringList>
#include <QTextStream>
#include <optional>

class BuildIdentity;

// The display-free face of Flumewire: `flumewire up|list|args|command|import|test`, `--version`, `--help`.
// Read-only commands read through the store's load procedure and never create an engine (creating one starts
// tunnels); `up` and `import` take the instance lock first. Bad input gives one line on stderr and status 2.
class CommandLine {
public:
    struct Options {
        QString sshProgram = QStringLiteral("/usr/bin/ssh");
    };

    CommandLine(QStringList arguments, const BuildIdentity &identity, Options options);

    // Runs the command (with an event loop where it needs one) and returns the process exit status.
    int run();

    static QString usage();

private:
    int list();
    int args();
    int command();
    int importConfig();
    int test();
    int up();

    int fail(const QString &message);
    // The loaded tunnel with that id, or none after reporting it.
    std::optional<Tunnel> findTunnel(const QString &id);
    // Takes flags off m_args; false (after reporting) when an unexpected option is left.
    bool takeFlags(const QStringList &allowed, QStringList &given);

    QStringList m_args;
    const BuildIdentity &m_identity;
    Options m_options;
    QTextStream m_out;
    QTextStream m_err;
};
