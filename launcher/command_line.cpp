#include "launcher/command_line.h"

#include <string>
#include <string_view>

namespace fwlaunch {

namespace {

constexpr int kFirstExtraArgument = 4;

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine command;
  if (argc < kFirstExtraArgument) {
    std::string_view only = argc == 2 ? argv[1] : "";
    if (only == "--help" || only == "-h")
      command.action = CommandAction::kHelp;
    else if (only == "--version")
      command.action = CommandAction::kVersion;
    else
      command.action = CommandAction::kUsageError;
    return command;
  }
  command.action = CommandAction::kLaunch;
  command.request.firmware_path = argv[2];
  command.request.function_name = argv[3];
  command.request.extra_arguments.assign(argv + kFirstExtraArgument, argv + argc);
  return command;
}

std::string UsageText(std::string_view program) {
  return "usage: " + std::string(program) + " ANY FIRMWARE FUNCTION [ARGUMENT...]\n";
}

std::string HelpText(std::string_view program, bool tells_steps) {
  std::string text = UsageText(program);
  text +=
      "\n"
      "Extracts the script modules that FIRMWARE carries into the working folder (QALM in\n"
      "the temporary folder) through the script library Script.dll placed there\n"
      "beforehand, then calls Launch.FUNCTION(library, FIRMWARE, ARGUMENT...) in an\n"
      "embedded Python 2.7 and exits with the integer it returns (255 on any failure).\n"
      "At the end of every run it deletes the plain files in the shared data folder.\n"
      "The first argument is not read, but must be present.\n";
  if (tells_steps)
    text +=
        "\n"
        "The same run as fwlaunch, with the same standard output and exit status; every\n"
        "step is told on standard error, with the time since the start.\n";
  text +=
      "\n"
      "  --help     show this text\n"
      "  --version  show the version\n";
  return text;
}

}  // namespace fwlaunch
