// The run from a parsed command line to the exit status.
#pragma once

#include "launcher/command_line.h"

namespace fwlaunch {

// Everything a run does apart from the purge: forms the working folder, extracts the modules,
// runs the script function. Reports its own failures as one line on standard output and
// returns the function's integer, or -1.
int RunGuardedSection(const LaunchRequest& request) noexcept;

// Runs the guarded section in a child process, so that a crash inside the script library or
// the interpreter is reported as "Unknown Exception!" rather than taking the purge down with
// it; then purges the shared data folder, whatever happened. Returns the exit status.
int RunLaunchSequence(const LaunchRequest& request);

}  // namespace fwlaunch
