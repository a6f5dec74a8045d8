// The call of the script function, written once for both systems against the interpreter's
// table (python_api.h): start, module path, import of Launch, lookup, arguments, call, result,
// the tracebacks the diagnostic twin shows, shutdown.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/result.h"
#include "interpreter/python_api.h"
#include "interpreter/script_run.h"
#include "narration/narrator.h"

namespace fwlaunch::interpreter {

// What differs between the systems around the protocol.
struct InterpreterSetup {
  // The standard library's places, after the working folder on sys.path.
  std::vector<std::string> library_path;
  // The interpreter's own program, as sys.executable: what a script starts Python with
  // (subprocess, multiprocessing's workers). Empty when there is none.
  std::string executable;
  // Once sys.path is set, before Launch is imported (Linux: the .pyd finder, the codecs,
  // the locale's encodings).
  std::function<Status()> after_path;
  // Once the interpreter is shut down.
  std::function<void()> after_finalize;
};

// Runs the request against the interpreter behind api (script_run.h says what it does).
CallOutcome RunScriptProtocol(const PythonApi& api, const ScriptCall& request,
                              const InterpreterSetup& setup, Narrator* narrator);

}  // namespace fwlaunch::interpreter
