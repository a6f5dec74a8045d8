#include "launcher/launch_sequence.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "extract/extract_scripts.h"
#include "launcher/interpreter/script_run.h"
#include "launcher/launch_failure.h"
#include "launcher/working_folder.h"
#include "platform/file_system.h"
#include "platform/isolated_section.h"
#include "platform/run_lock.h"
#include "purge/purge_shared_data.h"

namespace fwlaunch {

namespace {

// The script function gets the library path, the firmware path, then the further arguments.
std::vector<std::string> ScriptArguments(const std::string& library_path,
                                         const LaunchRequest& request) {
  std::vector<std::string> arguments{library_path, request.firmware_path};
  arguments.insert(arguments.end(), request.extra_arguments.begin(),
                   request.extra_arguments.end());
  return arguments;
}

int ExtractAndRun(const LaunchRequest& request, const std::string& working_folder) {
  std::string library_path = ScriptLibraryPath(working_folder);

  if (!ExtractScripts(library_path, working_folder, request.firmware_path)) {
    throw LaunchFailure(kExtractionFailed);
  }
  return RunScript(working_folder, request.function_name, ScriptArguments(library_path, request));
}

}  // namespace

int RunGuardedSection(const LaunchRequest& request, const std::string& working_folder) noexcept {
  int exit_status = -1;
  try {
    exit_status = ExtractAndRun(request, working_folder);
  } catch (const LaunchFailure& failure) {
    std::printf("%s\n", failure.what());
  } catch (...) {
    std::printf("%s\n", kUnknownException);
  }
  return exit_status;
}

int RunLaunchSequence(const LaunchRequest& request) {
  std::string working_folder = WorkingFolder(platform::TemporaryFolder());
  platform::RunLock lock = platform::RunLock::Acquire(working_folder);

  int exit_status = -1;
  std::optional<platform::SectionOutcome> outcome =
      platform::RunIsolated([&] { return RunGuardedSection(request, working_folder); });
  if (!outcome || outcome->end() == platform::SectionEnd::kCrashed) {
    std::printf("%s\n", kUnknownException);
  } else if (outcome->end() == platform::SectionEnd::kReturned) {
    exit_status = outcome->status();
  }
  PurgeSharedData();
  // Only now may the next run start: it would otherwise extract and run while this one purges.
  lock.Release();
  // A run that someone asked to end ends as they asked, but only once the purge has run.
  if (outcome && outcome->end() == platform::SectionEnd::kInterrupted)
    platform::EndAsRequested(*outcome);
  return exit_status;
}

}  // namespace fwlaunch
