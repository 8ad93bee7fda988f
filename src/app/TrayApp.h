#pragma once

#include <QString>

class BuildIdentity;

// Runs Flumewire as a tray application until the user quits; returns the process exit status. Takes the same
// single-instance lock as `flumewire up`; tunnels run under the given ssh program. Returns 2 at once, with one line
// on stderr, where there is no graphical session to show a tray in.
int runTrayApp(int argc, char **argv, const BuildIdentity &identity, const QString &sshProgram);
