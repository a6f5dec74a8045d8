// The run's interpreter part, as the launcher asks for it and hears how it ended. What the
// outcome means to a user is the launcher's to say.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "narration/narrator.h"

namespace fwlaunch::interpreter {

// How the call of the script function ended, as the interpreter's part tells the launcher
// (the script's process as a whole ends as platform::SectionEnd says).
enum class CallEnd {
  kReturned,           // the function was called: exit_status holds its integer, or -1
  kLaunchNotImported,  // Launch could not be imported
  kFunctionMissing,    // Launch has no callable of that name at its top level
  kUnavailable,        // no interpreter could be had, or it refused to start; reason says why
};

struct CallOutcome {
  CallEnd end = CallEnd::kUnavailable;
  int exit_status = -1;
  std::string reason;

  // No interpreter could be had, or it refused to start, for this reason.
  static CallOutcome Unavailable(std::string why) {
    return CallOutcome{CallEnd::kUnavailable, -1, std::move(why)};
  }
};

// The call the launcher asks of the interpreter's part.
struct ScriptCall {
  std::string working_folder;  // the interpreter's home, first on sys.path
  std::string function_name;
  std::vector<std::string> arguments;  // positional strings, in order
};

// Starts the interpreter with the working folder as its home (optimised modules, no site
// module), makes the working folder the first place modules are found, then the interpreter's
// own standard library, calls Launch.function_name with the arguments, and shuts the
// interpreter down. The exit status is the function's integer, or -1 when it raised or
// returned anything that is not a 32-bit integer (nothing is printed then). A narrator, if any,
// hears each step and gets the tracebacks on standard error. One definition per system:
// module_loader/module_loader.cpp, python27_dll/bound_script_run.cpp.
CallOutcome RunScript(const ScriptCall& request, Narrator* narrator = nullptr);

}  // namespace fwlaunch::interpreter
