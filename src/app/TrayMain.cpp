// The tray application on its own, without the command line (the e2e tray check runs it).
#include "app/NoSSHRunner.h"
#include "app/TrayApp.h"

int main(int argc, char *argv[])
{
    return runTrayApp(argc, argv, [] { return std::make_unique<NoSSHRunner>(); });
}
