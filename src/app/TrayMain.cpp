#include "app/BuildIdentity.h"
#include "app/TrayApp.h"

#include <QtGlobal>

// The tray application, started by `flumewire` without a sub-command.
int main(int argc, char *argv[])
{
    QString sshProgram = QStringLiteral("/usr/bin/ssh");
    if (qEnvironmentVariableIsSet("FLUMEWIRE_SSH"))
        sshProgram = qEnvironmentVariable("FLUMEWIRE_SSH");
    return runTrayApp(argc, argv, BuildIdentity(BuildIdentity::Kind::FLUMEWIRE_BUILD_KIND), sshProgram);
}
