// The embedded interpreter's part of a run, from start-up to shutdown.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "narration/narrator.h"

namespace fwlaunch {

// The step that writes the firmware's modules into the working folder: true when Launch.pyo is
// there afterwards.
using ModuleExtraction = std::function<bool()>;

// Runs extract_modules, starts the interpreter with the working folder as its home (optimised
// modules, no site module), makes the working folder the first place modules are found, calls
// Launch.function_name with the arguments as positional strings, and shuts the interpreter
// down. Nothing is imported before the extraction has ended, but the interpreter may start
// while it runs (on another thread). Returns the function's integer, or -1 when it raised or
// returned anything that is not a 32-bit integer (nothing is printed then). Throws
// LaunchFailure when the extraction fails (before any other failure), when Launch cannot be
// imported or holds no such callable, and std::exception when the interpreter cannot be had.
// A narrator, if any, hears each step and gets the tracebacks on standard error.
int RunScript(const std::string& working_folder, const std::string& function_name,
              const std::vector<std::string>& arguments, const ModuleExtraction& extract_modules,
              Narrator* narrator = nullptr);

}  // namespace fwlaunch
