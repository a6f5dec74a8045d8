// The embedded interpreter's part of a run, from start-up to shutdown.
#pragma once

#include <string>
#include <vector>

#include "narration/narrator.h"

namespace fwlaunch {

// Starts the interpreter with the working folder as its home (optimised modules, no site
// module), makes the working folder the first place modules are found, calls
// Launch.function_name with the arguments as positional strings, and shuts the interpreter
// down. Returns the function's integer, or -1 when it raised or returned anything that is not
// a 32-bit integer (nothing is printed then). Throws LaunchFailure when Launch cannot be
// imported or holds no such callable, and std::exception when the interpreter cannot be had.
// A narrator, if any, hears each step and gets the tracebacks on standard error.
int RunScript(const std::string& working_folder, const std::string& function_name,
              const std::vector<std::string>& arguments, Narrator* narrator = nullptr);

}  // namespace fwlaunch
