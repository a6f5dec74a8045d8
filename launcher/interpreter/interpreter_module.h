// What the launcher and its interpreter module say to each other. The module holds everything
// that faces the interpreter and is loaded only by the script's own process, after the fork:
// the launcher's process never maps the interpreter, so starting it, forking it and ending it
// cost less. Each side carries its own C++ runtime, so only plain data crosses, and no
// exception.
#pragma once

namespace fwlaunch {

inline constexpr char kInterpreterModuleFile[] = "libfwlaunch-interpreter.so";

// A run in three calls, each given the same request: start, then either run or stop.
//   start: starts the interpreter for request->working_folder; reads nothing from the folder.
//   run:   once the modules are written: imports Launch, calls the function, and shuts the
//          interpreter down.
//   stop:  shuts a started interpreter down without running anything.
inline constexpr char kStartExport[] = "fwlaunch_start_interpreter";
inline constexpr char kRunExport[] = "fwlaunch_run_script";
inline constexpr char kStopExport[] = "fwlaunch_stop_interpreter";

// How a call ended.
enum class ScriptRunEnd : int {
  kCompleted = 0,     // done: after run, exit_status holds the function's result
  kLaunchNotLoaded,   // Launch could not be imported
  kFunctionMissing,   // Launch has no such callable
  kFailed,            // the interpreter could not be had; failure_text says why
};

struct ScriptRunRequest {
  // In.
  const char* working_folder;
  const char* function_name;
  const char* const* arguments;
  int argument_count;
  // When say is set, each step is told to it with listener, one line at a time.
  void (*say)(void* listener, const char* line);
  void* listener;
  // The module's own: the started interpreter, from start until run or stop.
  void* started;
  // Out.
  ScriptRunEnd end;
  int exit_status;
  char failure_text[256];
};

extern "C" {
using InterpreterCall = void (*)(ScriptRunRequest* request);
}

}  // namespace fwlaunch
