#include "launcher/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace fwlaunch {
namespace {

CommandLine Parse(std::vector<const char*> arguments) {
  return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

TEST(ParseCommandLine, ArgumentOneIsNeverReadAndTheRestPassOnInOrder) {
  CommandLine command = Parse({"fwlaunch", "--help", "image.fw", "ToHex", "out 1.hex", ""});
  ASSERT_EQ(command.action, CommandAction::kLaunch);
  EXPECT_EQ(command.request.firmware_path, "image.fw");
  EXPECT_EQ(command.request.function_name, "ToHex");
  EXPECT_EQ(command.request.extra_arguments, (std::vector<std::string>{"out 1.hex", ""}));

  EXPECT_TRUE(Parse({"fwlaunch", "x", "image.fw", "Info"}).request.extra_arguments.empty());
}

TEST(ParseCommandLine, ShortCommandLinesAreHelpVersionOrAUsageError) {
  EXPECT_EQ(Parse({"fwlaunch", "--help"}).action, CommandAction::kHelp);
  EXPECT_EQ(Parse({"fwlaunch", "--version"}).action, CommandAction::kVersion);
  EXPECT_EQ(Parse({"fwlaunch"}).action, CommandAction::kUsageError);
  EXPECT_EQ(Parse({"fwlaunch", "x", "image.fw"}).action, CommandAction::kUsageError);
  EXPECT_EQ(Parse({"fwlaunch", "--version", "image.fw"}).action, CommandAction::kUsageError);
}

}  // namespace
}  // namespace fwlaunch
