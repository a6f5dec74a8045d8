// The run's interpreter part, in the interpreter module, loaded here in the script's process.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "launcher/interpreter/interpreter_module.h"
#include "launcher/interpreter/script_run.h"
#include "launcher/launch_failure.h"
#include "platform/dynamic_library.h"

#ifndef FWLAUNCH_INTERPRETER_MODULE_FOLDER
#error "FWLAUNCH_INTERPRETER_MODULE_FOLDER: the module's folder relative to the program's"
#endif

namespace fwlaunch {

namespace {

void SayToNarrator(void* listener, const char* line) {
  static_cast<Narrator*>(listener)->Say(line);
}

}  // namespace

int RunScript(const std::string& working_folder, const std::string& function_name,
              const std::vector<std::string>& arguments, Narrator* narrator) {
  // Where the program's own tree keeps it, built or installed; nothing is searched for.
  std::optional<std::string> program_folder = platform::FolderOfThisProgram();
  if (!program_folder) throw std::runtime_error("this program's folder cannot be found");
  std::string path = *program_folder + FWLAUNCH_INTERPRETER_MODULE_FOLDER + kInterpreterModuleFile;
  // Its symbols shared, so that the extension modules a script imports find the interpreter's.
  Result<platform::DynamicLibrary> module = platform::DynamicLibrary::OpenSharingSymbols(path);
  if (!module) throw std::runtime_error(module.reason());
  auto run = reinterpret_cast<RunScriptFunction>(module->Symbol(kRunScriptExport));
  if (run == nullptr)
    throw std::runtime_error(std::string(kInterpreterModuleFile) + " has no " + kRunScriptExport);

  std::vector<const char*> texts;
  for (const std::string& argument : arguments) texts.push_back(argument.c_str());
  ScriptRunRequest request{};
  request.working_folder = working_folder.c_str();
  request.function_name = function_name.c_str();
  request.arguments = texts.data();
  request.argument_count = static_cast<int>(texts.size());
  if (narrator != nullptr) {
    request.say = SayToNarrator;
    request.listener = narrator;
  }
  run(&request);
  // The interpreter stays: the extension modules the script loaded stay mapped (no interpreter
  // unloads them) and are bound to it. The process ends soon after anyway.
  module->KeepLoaded();

  switch (request.end) {
    case ScriptRunEnd::kCompleted:
      return request.exit_status;
    case ScriptRunEnd::kLaunchNotLoaded:
      throw LaunchFailure(kLaunchNotLoaded);
    case ScriptRunEnd::kFunctionMissing:
      throw LaunchFailure(kFunctionMissing);
    case ScriptRunEnd::kFailed:
      break;
  }
  throw std::runtime_error(request.failure_text);
}

}  // namespace fwlaunch
