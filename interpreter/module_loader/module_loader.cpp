// The run's interpreter part, in the interpreter module, loaded here in the script's process.
#include <optional>
#include <string>
#include <vector>

#include "interpreter/module_interface.h"
#include "interpreter/script_run.h"
#include "platform/dynamic_library.h"
#include "platform/isolated_section.h"

#ifndef FWLAUNCH_INTERPRETER_MODULE_FOLDER
#error "FWLAUNCH_INTERPRETER_MODULE_FOLDER: the module's folder relative to the program's"
#endif

namespace fwlaunch::interpreter {

namespace {

void SayToNarrator(void* listener, const char* line) {
  static_cast<Narrator*>(listener)->Say(line);
}

}  // namespace

CallOutcome RunScript(const ScriptCall& script, Narrator* narrator) {
  // Where the program's own tree keeps it, built or installed; nothing is searched for.
  std::optional<std::string> program_folder = platform::FolderOfThisProgram();
  if (!program_folder) return CallOutcome::Unavailable("this program's folder cannot be found");
  std::string path = *program_folder + FWLAUNCH_INTERPRETER_MODULE_FOLDER + kInterpreterModuleFile;
  // Its symbols shared, so that the extension modules a script imports find the interpreter's.
  Result<platform::DynamicLibrary> module = platform::DynamicLibrary::OpenSharingSymbols(path);
  if (!module) return CallOutcome::Unavailable(module.reason());
  auto run = reinterpret_cast<RunScriptFunction>(module->Symbol(kRunScriptExport));
  if (run == nullptr)
    return CallOutcome::Unavailable(std::string(kInterpreterModuleFile) + " has no " +
                                    kRunScriptExport);

  std::vector<const char*> texts;
  for (const std::string& argument : script.arguments) texts.push_back(argument.c_str());
  ModuleCall request{};
  request.working_folder = script.working_folder.c_str();
  request.function_name = script.function_name.c_str();
  request.arguments = texts.data();
  request.argument_count = static_cast<int>(texts.size());
  if (narrator != nullptr) {
    request.say = SayToNarrator;
    request.listener = narrator;
  }
  // In the launcher's own copy of the platform layer, which holds the interrupt copies' state.
  request.interpreter_started = platform::KeepOneInterruptOfEachPair;
  run(&request);
  // The interpreter stays: the extension modules the script loaded stay mapped (no interpreter
  // unloads them) and are bound to it. The process ends soon after anyway.
  module->KeepLoaded();
  return CallOutcome{request.end, request.exit_status, request.reason};
}

}  // namespace fwlaunch::interpreter
