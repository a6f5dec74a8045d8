// What the command line asks for.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fwlaunch {

// A run: argument 1 is never read; 2 is the firmware path, 3 the function, 4 on are passed on.
struct LaunchRequest {
  std::string firmware_path;
  std::string function_name;
  std::vector<std::string> extra_arguments;
};

enum class CommandAction { kLaunch, kHelp, kVersion, kUsageError };

struct CommandLine {
  CommandAction action = CommandAction::kUsageError;
  LaunchRequest request;
};

// "--help" and "--version" are only recognised alone: with a full command line, argument 1
// stays unread whatever it holds.
CommandLine ParseCommandLine(int argc, const char* const* argv);

// The one-line usage, and the longer help text, for the program of that name (the diagnostic
// twin tells that it tells its steps); both end in a newline.
std::string UsageText(std::string_view program);
std::string HelpText(std::string_view program, bool tells_steps);

}  // namespace fwlaunch
