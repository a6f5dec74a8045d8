// What the launcher and the interpreter module say to each other. The module holds everything
// that faces the interpreter and is loaded only by the script's own process, after the fork:
// the launcher's process never maps the interpreter, so starting it, forking it and ending it
// cost less. Each side carries its own C++ runtime, so only plain data crosses, and no
// exception: how the run ended comes back as a code.
#pragma once

#include "interpreter/script_run.h"

namespace fwlaunch::interpreter {

inline constexpr char kInterpreterModuleFile[] = "libfwlaunch-interpreter.so";
inline constexpr char kRunScriptExport[] = "fwlaunch_run_script";

// A ScriptCall and its CallOutcome as plain data, across the module's boundary.
struct ModuleCall {
  // In.
  const char* working_folder;
  const char* function_name;
  const char* const* arguments;
  int argument_count;
  // When say is set, each step is told to it with listener, one line at a time.
  void (*say)(void* listener, const char* line);
  void* listener;
  // Called once the interpreter has started and taken its signals, before Launch is imported.
  void (*interpreter_started)();
  // Out.
  CallEnd end;
  int exit_status;
  char reason[256];  // when end is kUnavailable
};

extern "C" {
using RunScriptFunction = void (*)(ModuleCall* request);
}

}  // namespace fwlaunch::interpreter
