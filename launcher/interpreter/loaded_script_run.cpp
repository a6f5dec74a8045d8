// The run's interpreter part, in the interpreter module, loaded here in the script's process.
// The modules are written on a second thread while this one loads and starts the interpreter:
// neither needs the other until Launch is imported, so together they take the time of the
// longer. The interpreter reads nothing from the working folder before then, and takes over the
// process's signals only afterwards.
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
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

// The extraction on a thread of its own, waited for however the run goes on.
class BackgroundExtraction {
 public:
  explicit BackgroundExtraction(const ModuleExtraction& extract_modules)
      : thread_([this, &extract_modules] {
          try {
            extracted_ = extract_modules();
          } catch (...) {
            failure_ = std::current_exception();
          }
        }) {}
  BackgroundExtraction(const BackgroundExtraction&) = delete;
  BackgroundExtraction& operator=(const BackgroundExtraction&) = delete;
  ~BackgroundExtraction() {
    if (thread_.joinable()) thread_.join();
  }

  // Waits for it; rethrows what it threw.
  bool Succeeded() {
    if (thread_.joinable()) thread_.join();
    if (failure_) std::rethrow_exception(failure_);
    return extracted_;
  }

 private:
  bool extracted_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: it starts once the members it writes exist
};

// The interpreter module, loaded, with a started interpreter that it stops unless it ran.
class ModuleInterpreter {
 public:
  ModuleInterpreter(const std::string& working_folder, Narrator* narrator) {
    // Where the program's own tree keeps it, built or installed; nothing is searched for.
    std::optional<std::string> program_folder = platform::FolderOfThisProgram();
    if (!program_folder) throw std::runtime_error("this program's folder cannot be found");
    std::string path =
        *program_folder + FWLAUNCH_INTERPRETER_MODULE_FOLDER + kInterpreterModuleFile;
    // Its symbols shared, so that the extension modules a script imports find the interpreter's.
    Result<platform::DynamicLibrary> module = platform::DynamicLibrary::OpenSharingSymbols(path);
    if (!module) throw std::runtime_error(module.reason());
    start_ = Entry(*module, kStartExport);
    run_ = Entry(*module, kRunExport);
    stop_ = Entry(*module, kStopExport);
    // The interpreter stays loaded for the rest of the process: the extension modules a script
    // loads stay mapped (no interpreter unloads them) and are bound to it.
    module->KeepLoaded();

    request_.working_folder = working_folder.c_str();
    if (narrator != nullptr) {
      request_.say = SayToNarrator;
      request_.listener = narrator;
    }
    start_(&request_);
    if (request_.end != ScriptRunEnd::kCompleted) throw std::runtime_error(request_.failure_text);
  }
  ModuleInterpreter(const ModuleInterpreter&) = delete;
  ModuleInterpreter& operator=(const ModuleInterpreter&) = delete;
  ~ModuleInterpreter() {
    if (request_.started != nullptr) stop_(&request_);
  }

  int Run(const std::string& function_name, const std::vector<std::string>& arguments) {
    std::vector<const char*> texts;
    for (const std::string& argument : arguments) texts.push_back(argument.c_str());
    request_.function_name = function_name.c_str();
    request_.arguments = texts.data();
    request_.argument_count = static_cast<int>(texts.size());
    run_(&request_);
    switch (request_.end) {
      case ScriptRunEnd::kCompleted:
        return request_.exit_status;
      case ScriptRunEnd::kLaunchNotLoaded:
        throw LaunchFailure(kLaunchNotLoaded);
      case ScriptRunEnd::kFunctionMissing:
        throw LaunchFailure(kFunctionMissing);
      case ScriptRunEnd::kFailed:
        break;
    }
    throw std::runtime_error(request_.failure_text);
  }

 private:
  static InterpreterCall Entry(const platform::DynamicLibrary& module, const char* name) {
    auto entry = reinterpret_cast<InterpreterCall>(module.Symbol(name));
    if (entry == nullptr)
      throw std::runtime_error(std::string(kInterpreterModuleFile) + " has no " + name);
    return entry;
  }

  InterpreterCall start_ = nullptr;
  InterpreterCall run_ = nullptr;
  InterpreterCall stop_ = nullptr;
  ScriptRunRequest request_{};
};

}  // namespace

int RunScript(const std::string& working_folder, const std::string& function_name,
              const std::vector<std::string>& arguments, const ModuleExtraction& extract_modules,
              Narrator* narrator) {
  BackgroundExtraction extraction(extract_modules);
  std::optional<ModuleInterpreter> interpreter;
  std::string interpreter_failure;
  try {
    interpreter.emplace(working_folder, narrator);
  } catch (const std::exception& failure) {
    interpreter_failure = failure.what();
  }
  // The extraction's verdict comes first, as when the two ran in turn.
  if (!extraction.Succeeded()) throw LaunchFailure(kExtractionFailed);
  if (!interpreter) throw std::runtime_error(interpreter_failure);
  return interpreter->Run(function_name, arguments);
}

}  // namespace fwlaunch
