// The run from a parsed command line to the exit status.
#pragma once

#include <string>

#include "launcher/command_line.h"
#include "narration/narrator.h"

namespace fwlaunch {

// Everything a run does apart from the purge: extracts the modules into the working folder and
// runs the script function. Reports its own failures as one line on standard output and
// returns the function's integer, or -1.
int RunGuardedSection(const LaunchRequest& request, const std::string& working_folder,
                      Narrator* narrator = nullptr) noexcept;

// Forms the working folder, takes the run lock on it, runs the guarded section in a process of
// its own (so that a crash inside the script library or the interpreter is reported as
// "Unknown Exception!" rather than taking the purge down with it), then purges the shared data
// folder, whatever happened, and releases the lock. Returns the exit status; a run that
// someone asked to end (an interrupt, a termination) ends that way after the purge.
// A narrator, if any, hears every step (the diagnostic twin); the launcher runs without one.
int RunLaunchSequence(const LaunchRequest& request, Narrator* narrator = nullptr);

}  // namespace fwlaunch
