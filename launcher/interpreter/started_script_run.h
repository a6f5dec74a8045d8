// Inside the interpreter module: one run's interpreter, started before the firmware's modules
// are in place and called once they are.
#pragma once

#include <string>
#include <vector>

#include "launcher/interpreter/embedded_interpreter.h"
#include "narration/narrator.h"

namespace fwlaunch {

class StartedScriptRun {
 public:
  // Starts the interpreter with the working folder as its home and prepares its module search;
  // reads nothing from the folder yet. Throws std::runtime_error when the interpreter refuses.
  explicit StartedScriptRun(const std::string& working_folder);

  // Once the modules are written: takes over the signals as a normal start would have, imports
  // Launch and calls the function (CallScriptFunction says what it returns and throws).
  int Call(const std::string& function_name, const std::vector<std::string>& arguments,
           Narrator* narrator);

 private:
  std::string working_folder_;
  EmbeddedInterpreter interpreter_;
};

}  // namespace fwlaunch
