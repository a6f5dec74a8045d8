// The launcher as its users run it: the real program, a script library serving a folder as
// firmware, and Launch modules compiled to .pyo. Every run purges the test build's shared
// data folder, which this fixture fills before each test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/scratch_folder.h"

namespace fwlaunch::testing {

namespace fs = std::filesystem;

inline std::vector<std::string> SplitAtNul(const std::string& text) {
  std::vector<std::string> parts{""};
  for (char c : text) {
    if (c == '\0') parts.emplace_back();
    else parts.back() += c;
  }
  return parts;
}

class FwlaunchTest : public ::testing::Test {
 protected:
  FwlaunchTest() {
    fs::create_directories(Work());
    fs::copy_file(FWLAUNCH_FOLDER_LIBRARY, Work() / "Script.dll");
    fs::create_directories(Firmware());
    for (const char* module : {"Launch.pyo", "helper.pyo", "pydtest.pyd"})
      fs::copy_file(fs::path(FWLAUNCH_TEST_MODULES) / module, Firmware() / module);
    WriteFile(Firmware() / "SCRIPT_PYD", "Launch.pyo\nhelper.pyo\npydtest.pyd\n");

    fs::remove_all(Shared());
    fs::create_directories(Shared() / "sub");
    WriteFile(Shared() / "state.dat", "state");
    WriteFile(Shared() / ".hidden", "hidden");
    WriteFile(Shared() / "sub" / "kept.dat", "kept");
  }
  ~FwlaunchTest() override { fs::remove_all(Shared()); }

  fs::path Temp() const { return scratch.path() / "tmp"; }
  fs::path Work() const { return Temp() / "QALM"; }
  fs::path Firmware() const { return scratch.path() / "firmware"; }
  static fs::path Shared() { return fs::path(FWLAUNCH_TEST_APPDATA) / "BrenvikProductTQLN"; }
  std::string LibraryPath() const { return Work().string() + "/Script.dll"; }

  std::vector<std::string> LaunchArguments(const std::string& function,
                                           std::vector<std::string> extra) const {
    std::vector<std::string> arguments{"unread", Firmware().string(), function};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  }
  ProgramRun Launch(const std::string& function, std::vector<std::string> extra = {}) {
    return Run(LaunchArguments(function, std::move(extra)));
  }
  RunningProgram Start(const std::string& function, std::vector<std::string> extra = {}) {
    return RunningProgram(FWLAUNCH_TESTING_BINARY, LaunchArguments(function, std::move(extra)),
                          options);
  }
  ProgramRun Run(const std::vector<std::string>& arguments) {
    return RunProgram(FWLAUNCH_TESTING_BINARY, arguments, options);
  }

  bool Purged() const {
    return !fs::exists(Shared() / "state.dat") && !fs::exists(Shared() / ".hidden") &&
           fs::exists(Shared() / "sub" / "kept.dat");
  }

  ScratchFolder scratch;
  ProgramOptions options = WithTemporaryFolder(Temp());
};

}  // namespace fwlaunch::testing
