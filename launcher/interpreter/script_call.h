// The call of the script function in the firmware's module Launch.
#pragma once

#include <string>
#include <vector>

#include "narration/narrator.h"

namespace fwlaunch {

// Imports Launch, finds function_name in its dictionary and calls it with the arguments as
// positional strings. Returns the function's integer, or -1 when it raised or returned
// anything that is not a 32-bit integer (nothing is printed then). Throws LaunchFailure when
// Launch cannot be imported or holds no such callable. A narrator, if any, hears each step
// and gets the tracebacks on standard error that the launcher itself never shows.
int CallScriptFunction(const std::string& function_name, const std::vector<std::string>& arguments,
                       Narrator* narrator = nullptr);

}  // namespace fwlaunch
