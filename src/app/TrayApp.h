#pragma once

#include <QString>

// Runs Flumewire as a tray application until the user quits; returns the process exit status. Takes the same
// single-instance lock as `flumewire up`; tunnels run under the given ssh program.
int runTrayApp(int argc, char **argv, const QString &sshProgram);
