// fwlaunch: runs the conversion scripts that a firmware image carries. Built a second time with
// FWLAUNCH_TRACE as fwlaunch-trace, its diagnostic twin.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "launcher/command_line.h"
#include "launcher/launch_sequence.h"
#include "launcher/working_folder.h"
#include "narration/stderr_narrator.h"
#include "platform/file_system.h"
#include "platform/process_start.h"
#include "purge/purge_shared_data.h"

#ifndef FWLAUNCH_VERSION
#error "FWLAUNCH_VERSION is the program's version"
#endif

#if defined(FWLAUNCH_TRACE)
constexpr bool kTellsSteps = true;
#else
constexpr bool kTellsSteps = false;
#endif

int main(int argc, char** argv) {
  using namespace fwlaunch;
  platform::PrepareProcess();
  std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  std::vector<const char*> texts;
  for (const std::string& argument : arguments) texts.push_back(argument.c_str());
  CommandLine command = ParseCommandLine(argc, texts.data());
  switch (command.action) {
    case CommandAction::kHelp:
      std::fputs(HelpText(FWLAUNCH_PROGRAM_NAME, kTellsSteps).c_str(), stdout);
      std::printf("\nworking folder now:  %s\nshared data folder:  %s\n",
                  WorkingFolder(platform::TemporaryFolder()).c_str(), SharedDataFolder().c_str());
      return 0;
    case CommandAction::kVersion:
      std::printf("%s %s\n", FWLAUNCH_PROGRAM_NAME, FWLAUNCH_VERSION);
      return 0;
    case CommandAction::kUsageError:
      std::fputs(UsageText(FWLAUNCH_PROGRAM_NAME).c_str(), stdout);
      return 255;
    case CommandAction::kLaunch:
      break;
  }
#if defined(FWLAUNCH_TRACE)
  // The diagnostic twin: the same run, told step by step on standard error.
  StderrNarrator narrator;
  int exit_status = RunLaunchSequence(command.request, &narrator);
#else
  int exit_status = RunLaunchSequence(command.request);
#endif
  // Nothing is left to clean up but what the system reclaims anyway; ending here skips the
  // destruction of static objects, which a run would otherwise wait for.
  std::fflush(nullptr);
  std::_Exit(exit_status);
}
