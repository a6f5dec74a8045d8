// The interpreter linked into the program (Linux): its standard library is found where the
// build found it, and ".pyd" extension modules through a finder of our own.
#include "launcher/interpreter/embedded_interpreter.h"
#include "launcher/interpreter/module_search.h"
#include "launcher/interpreter/script_call.h"
#include "launcher/interpreter/script_run.h"

#ifndef FWLAUNCH_PYTHON_STDLIB
#error "FWLAUNCH_PYTHON_STDLIB names the embedded interpreter's standard-library folder"
#endif

namespace fwlaunch {

int RunScript(const std::string& working_folder, const std::string& function_name,
              const std::vector<std::string>& arguments) {
  EmbeddedInterpreter interpreter(working_folder);
  PrepareModuleSearch(working_folder, FWLAUNCH_PYTHON_STDLIB);
  interpreter.AdoptLocaleEncodings();
  return CallScriptFunction(function_name, arguments);
}

}  // namespace fwlaunch
