#pragma once

#include "support/TempHome.h"

#include <QProcess>
#include <QTest>

// The program run by a test, its output gathered as it comes; killed if still running when the object goes. The
// program is the build's (FLUMEWIRE_BINARY, defined by the test's build rule) unless FLUMEWIRE_INSTALLED names an
// installed one (the package check).
struct FlumewireProcess : QProcess {
    QString out;
    QString err;

    FlumewireProcess(const QStringList &args, const QProcessEnvironment &env)
    {
        setProcessEnvironment(env);
        connect(this, &QProcess::readyReadStandardOutput, this,
                [this] { out += QString::fromUtf8(readAllStandardOutput()); });
        connect(this, &QProcess::readyReadStandardError, this,
                [this] { err += QString::fromUtf8(readAllStandardError()); });
        start(program(), args);
    }
    ~FlumewireProcess() override
    {
        kill();
        waitForFinished(5000);
    }
    // Waits for the end: the exit status, or -1 after a crash or a hang.
    int finish(int timeoutMs = 30000)
    {
        // The event loop runs meanwhile: servers on the test's own thread keep answering the program.
        const bool ended = QTest::qWaitFor([this] { return state() == NotRunning; }, timeoutMs);
        return ended && exitStatus() == NormalExit ? exitCode() : -1;
    }
    // Ends it the way a service manager or Ctrl-C does; true when it exited 0.
    bool stop()
    {
        terminate();
        return finish() == 0;
    }
    static QString program() { return qEnvironmentVariable("FLUMEWIRE_INSTALLED", QStringLiteral(FLUMEWIRE_BINARY)); }
    // A program from the build tree is a development build, with its own data folder.
    static bool dev() { return !qEnvironmentVariableIsSet("FLUMEWIRE_INSTALLED"); }
    QString lastLine() const { return out.trimmed().split(u'\n').last(); }

    // The system environment with the data and configuration folders in the throw-away home, and the stand-in ssh
    // when one is given.
    static QProcessEnvironment environment(const TempHome &home, const QString &ssh = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.dataHome());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.configHome());
        if (!ssh.isEmpty())
            env.insert(QStringLiteral("FLUMEWIRE_SSH"), ssh);
        return env;
    }
};

// A run to its end: `status` is what finish() gave.
struct FlumewireRun : FlumewireProcess {
    const int status;
    FlumewireRun(const QStringList &args, const QProcessEnvironment &env)
        : FlumewireProcess(args, env), status(finish())
    {
    }
};
