// The interpreter module's one export: the run's interpreter part, with every failure turned
// into data for the launcher, whose C++ runtime is not this module's.
#include "launcher/interpreter/interpreter_module.h"

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "launcher/interpreter/script_run.h"
#include "launcher/launch_failure.h"
#include "narration/narrator.h"

namespace fwlaunch {

namespace {

// Passes each line on to the launcher's own narrator.
class ForwardingNarrator : public Narrator {
 public:
  explicit ForwardingNarrator(const ScriptRunRequest& request) : request_(request) {}
  void Say(const std::string& line) override { request_.say(request_.listener, line.c_str()); }

 private:
  const ScriptRunRequest& request_;
};

void Fail(ScriptRunRequest* request, ScriptRunEnd end, const std::string& text) {
  request->end = end;
  request->exit_status = -1;
  std::size_t length = std::min(text.size(), sizeof request->failure_text - 1);
  std::copy_n(text.data(), length, request->failure_text);
  request->failure_text[length] = '\0';
}

}  // namespace

}  // namespace fwlaunch

// The one symbol the module exports (interpreter_module.map).
extern "C" void fwlaunch_run_script(fwlaunch::ScriptRunRequest* request) {
  using namespace fwlaunch;
  try {
    std::vector<std::string> arguments(request->arguments,
                                       request->arguments + request->argument_count);
    ForwardingNarrator forwarding(*request);
    request->exit_status = RunScript(request->working_folder, request->function_name, arguments,
                                     request->say != nullptr ? &forwarding : nullptr);
    request->end = ScriptRunEnd::kCompleted;
  } catch (const LaunchFailure& failure) {
    bool not_loaded = std::string(failure.what()) == kLaunchNotLoaded;
    Fail(request, not_loaded ? ScriptRunEnd::kLaunchNotLoaded : ScriptRunEnd::kFunctionMissing,
         failure.what());
  } catch (const std::exception& failure) {
    Fail(request, ScriptRunEnd::kFailed, failure.what());
  } catch (...) {
    Fail(request, ScriptRunEnd::kFailed, "an unknown failure");
  }
}
