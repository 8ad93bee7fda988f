#include "app/BuildIdentity.h"
#include "app/CommandLine.h"

#include <QCoreApplication>
#include <QTextStream>

#ifdef FLUMEWIRE_WITH_TRAY
#include "app/TrayApp.h"
#endif

// Given a sub-command, Flumewire runs without any display (no Widgets loaded); without one it is the tray app.
int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine::Options options;
    if (qEnvironmentVariableIsSet("FLUMEWIRE_SSH"))
        options.sshProgram = qEnvironmentVariable("FLUMEWIRE_SSH");

    if (arguments.isEmpty()) {
#ifdef FLUMEWIRE_WITH_TRAY
        return runTrayApp(argc, argv, options.sshProgram);
#else
        QTextStream(stdout) << CommandLine::usage();
        return 0;
#endif
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("flumewire"));
    return CommandLine(arguments, BuildIdentity::current(), options).run();
}
