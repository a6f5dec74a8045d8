// What the launcher and its interpreter module say to each other. The module holds everything
// that faces the interpreter and is loaded only by the script's own process, after the fork:
// the launcher's process never maps the interpreter, so starting it, forking it and ending it
// cost less. Each side carries its own C++ runtime, so only plain data crosses, and no
// exception.
#pragma once

namespace fwlaunch {

inline constexpr char kInterpreterModuleFile[] = "libfwlaunch-interpreter.so";
inline constexpr char kRunScriptExport[] = "fwlaunch_run_script";

// How the module's part of a run ended.
enum class ScriptRunEnd : int {
  kCompleted = 0,     // the function was called: exit_status holds its result
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
  // Out.
  ScriptRunEnd end;
  int exit_status;
  char failure_text[256];
};

extern "C" {
using RunScriptFunction = void (*)(ScriptRunRequest* request);
}

}  // namespace fwlaunch
