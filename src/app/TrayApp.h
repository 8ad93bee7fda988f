#pragma once

#include <functional>
#include <memory>

class SSHRunning;

// Runs Flumewire as a tray application until the user quits; returns the process exit status. Takes the same
// single-instance lock as `flumewire up`. `makeRunner` builds the ssh runner the engine drives.
int runTrayApp(int argc, char **argv, const std::function<std::unique_ptr<SSHRunning>()> &makeRunner);
