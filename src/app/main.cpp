#include "app/BuildIdentity.h"
#include "app/CommandLine.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.isEmpty()) {
        QTextStream(stdout) << CommandLine::usage();
        return 0;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("flumewire"));
    CommandLine::Options options;
    if (qEnvironmentVariableIsSet("FLUMEWIRE_SSH"))
        options.sshProgram = qEnvironmentVariable("FLUMEWIRE_SSH");
    return CommandLine(arguments, BuildIdentity::current(), options).run();
}
