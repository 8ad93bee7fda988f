#pragma once

#include "model/Store.h"
#include "model/Tunnel.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <QTextStream>
#include <optional>

class BuildIdentity;

// The display-free face of Flumewire: `flumewire up|list|args|command|import|test`, `--version`, `--help`.
// Read-only commands read through the store's load procedure and never create an engine (creating one starts
// tunnels) or the data folder; `up` and `import` take the instance lock first. The command line works on the user's
// own tunnels only: a missing tunnels file is an empty list, one that cannot be read is an error, never the sample
// set. Bad input or an unreadable file gives one line on stderr and status 2; a failed save status 1. Text from
// files and from ssh is printed with control characters escaped.
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
    int act();
    int status();

    void printTunnels(const QList<Tunnel> &tunnels);
    int fail(const QString &message);
    // The build's own load, without the sample set; none (after reporting) when the tunnels file cannot be used.
    std::optional<Store::LoadResult> loadTunnels();
    // The loaded tunnel with that id, or none after reporting it.
    std::optional<Tunnel> findTunnel(const QString &id);
    // Reads the command's options from m_args, leaving its other arguments there; false (after reporting) when an
    // option is unknown, lacks its value or has one it does not take.
    bool parse(const QList<QCommandLineOption> &options);

    QStringList m_args;
    QString m_command;
    QCommandLineParser m_parser;
    const BuildIdentity &m_identity;
    Options m_options;
    QTextStream m_out;
    QTextStream m_err;
};
