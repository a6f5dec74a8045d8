// The interpreter module's one export: the run's interpreter part, the common protocol against
// the linked interpreter, with its outcome handed back as plain data.
#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "interpreter/module/embedded_setup.h"
#include "interpreter/module/linked_api.h"
#include "interpreter/module_interface.h"
#include "interpreter/script_protocol.h"
#include "narration/narrator.h"

namespace fwlaunch::interpreter {

namespace {

// Passes each line on to the launcher's own narrator.
class ForwardingNarrator : public Narrator {
 public:
  explicit ForwardingNarrator(const ModuleCall& request) : request_(request) {}
  void Say(const std::string& line) override { request_.say(request_.listener, line.c_str()); }

 private:
  const ModuleCall& request_;
};

CallOutcome Run(const ModuleCall& request) {
  ScriptCall script{
      request.working_folder, request.function_name,
      std::vector<std::string>(request.arguments, request.arguments + request.argument_count)};
  Result<InterpreterSetup> setup = EmbeddedSetup(script.working_folder);
  if (!setup) return CallOutcome::Unavailable(setup.reason());
  if (request.interpreter_started != nullptr) {
    setup->after_path = [after_path = setup->after_path, started = request.interpreter_started] {
      started();
      return after_path ? after_path() : Status(Done{});
    };
  }
  ForwardingNarrator forwarding(request);
  return RunScriptProtocol(LinkedPythonApi(), script, *setup,
                           request.say != nullptr ? &forwarding : nullptr);
}

void Report(ModuleCall* request, const CallOutcome& outcome) {
  request->end = outcome.end;
  request->exit_status = outcome.exit_status;
  std::size_t length = std::min(outcome.reason.size(), sizeof request->reason - 1);
  std::copy_n(outcome.reason.data(), length, request->reason);
  request->reason[length] = '\0';
}

}  // namespace

}  // namespace fwlaunch::interpreter

// The one symbol the module exports (module_entry.map).
extern "C" void fwlaunch_run_script(fwlaunch::interpreter::ModuleCall* request) {
  using namespace fwlaunch::interpreter;
  try {
    Report(request, Run(*request));
  } catch (const std::exception& failure) {
    Report(request, CallOutcome::Unavailable(failure.what()));
  } catch (...) {
    Report(request, CallOutcome::Unavailable("an unknown failure"));
  }
}
