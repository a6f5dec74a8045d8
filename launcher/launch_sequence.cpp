#include "launcher/launch_sequence.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "extract/extract_scripts.h"
#include "interpreter/script_run.h"
#include "launcher/launch_messages.h"
#include "launcher/working_folder.h"
#include "narration/printable.h"
#include "platform/file_system.h"
#include "platform/isolated_section.h"
#include "platform/request_hold.h"
#include "platform/run_lock.h"
#include "platform/shared_data_claim.h"
#include "purge/purge_shared_data.h"

namespace fwlaunch {

namespace {

// The script function gets the library path, the firmware path, then the further arguments.
std::vector<std::string> ScriptArguments(const std::string& library_path,
                                         const LaunchRequest& request) {
  std::vector<std::string> arguments{library_path, request.firmware_path};
  arguments.insert(arguments.end(), request.extra_arguments.begin(), request.extra_arguments.end());
  return arguments;
}

// Prints one of the launcher's messages; the run's status is then -1.
int Failed(const char* message) {
  std::printf("%s\n", message);
  return -1;
}

// The guarded section's work: the modules, then the script function.
int ExtractAndRun(const LaunchRequest& request, const std::string& working_folder,
                  Narrator* narrator) {
  std::string library_path = ScriptLibraryPath(working_folder);
  Narrate(narrator, [&] {
    return "working folder " + Printable(working_folder) + ", script library " +
           Printable(library_path) + ", firmware " + Printable(request.firmware_path);
  });
  for (const auto& [what, path] : {std::pair{"working folder", &working_folder},
                                   std::pair{"firmware path", &request.firmware_path}}) {
    if (std::optional<std::string> why = platform::WhyNarrowCallsCannotReach(*path))
      Narrate(narrator, [&] { return std::string("the ") + what + " " + *why; });
  }

  if (!ExtractScripts(library_path, working_folder, request.firmware_path, narrator))
    return Failed(kExtractionFailedMessage);
  interpreter::CallOutcome outcome = interpreter::RunScript(
      {working_folder, request.function_name, ScriptArguments(library_path, request)}, narrator);
  switch (outcome.end) {
    case interpreter::CallEnd::kReturned:
      return outcome.exit_status;
    case interpreter::CallEnd::kLaunchNotImported:
      return Failed(kLaunchNotLoadedMessage);
    case interpreter::CallEnd::kFunctionMissing:
      return Failed(kFunctionMissingMessage);
    case interpreter::CallEnd::kUnavailable:
      break;
  }
  Narrate(narrator, [&] { return "failed: " + outcome.reason; });
  return Failed(kUnknownExceptionMessage);
}

std::string DescribeLock(const platform::RunLock& lock) {
  if (lock.owned()) return "took the run lock on the working folder";
  if (lock.inherited()) return "went on under the run lock of the run that started this one";
  return "no run lock: the working folder cannot be opened";
}

std::string DescribeEnd(const std::optional<platform::SectionOutcome>& outcome) {
  if (!outcome) return "the script's process could not be started";
  switch (outcome->end()) {
    case platform::SectionEnd::kReturned:
      return "the script's process ended with status " + std::to_string(outcome->status());
    case platform::SectionEnd::kCrashed:
      return "the script's process crashed";
    case platform::SectionEnd::kInterrupted:
      return "the script's process was ended on request (interrupt or termination)";
  }
  return "?";
}

}  // namespace

int RunGuardedSection(const LaunchRequest& request, const std::string& working_folder,
                      Narrator* narrator) noexcept {
  // What no step expected: the transfer buffer not to be had, and the like.
  try {
    return ExtractAndRun(request, working_folder, narrator);
  } catch (const std::exception& failure) {
    Narrate(narrator, [&] { return std::string("failed: ") + failure.what(); });
  } catch (...) {
  }
  return Failed(kUnknownExceptionMessage);
}

int RunLaunchSequence(const LaunchRequest& request, Narrator* narrator) {
  std::string working_folder = WorkingFolder(platform::TemporaryFolder());
  // Where the section's process is this program started anew (Windows), it runs the guarded
  // section alone: under the lock its parent holds, which purges after it.
  if (platform::IsSectionProcess())
    platform::RunAsSection([&] { return RunGuardedSection(request, working_folder, narrator); });

  platform::RunLock lock = platform::RunLock::Acquire(working_folder);
  Narrate(narrator, [&] { return DescribeLock(lock); });
  // Runs with working folders of their own share the one shared data folder: the last out
  // purges it.
  platform::SharedDataClaim claim = platform::SharedDataClaim::Take(SharedDataFolder());

  int exit_status = -1;
  std::optional<platform::SectionOutcome> outcome;
  {
    // Held from before the script's process ends (the script itself still gets every request)
    // until the purge is done: a purge once begun finishes.
    platform::RequestHold hold;
    outcome = platform::RunIsolated([&] {
      // Nothing the script starts may hold up the next run, or keep a purge from happening.
      lock.LeaveToParent();
      claim.LeaveToParent();
      return RunGuardedSection(request, working_folder, narrator);
    });
    Narrate(narrator, [&] { return DescribeEnd(outcome); });
    if (!outcome || outcome->end() == platform::SectionEnd::kCrashed) {
      std::printf("%s\n", kUnknownExceptionMessage);
    } else if (outcome->end() == platform::SectionEnd::kReturned) {
      exit_status = outcome->status();
    }
    if (std::optional<long> other = claim.ActiveRunBesidesThis()) {
      Narrate(narrator, [&] {
        return "purge: left to the run of process " + std::to_string(*other) +
               ", still active on the shared data folder";
      });
    } else {
      PurgeSharedData(narrator);
    }
    claim.Release();
    // Only now may the next run start: it would otherwise extract and run while this one purges.
    lock.Release();
    if (hold.Requested()) {
      Narrate(narrator, [] { return "asked to end during the purge: ending once it is done"; });
      std::fflush(stdout);
    }
  }
  // A run that someone asked to end ends as they asked, but only once the purge has run.
  if (outcome && outcome->end() == platform::SectionEnd::kInterrupted)
    platform::EndAsRequested(*outcome);
  return exit_status;
}

}  // namespace fwlaunch
