// The launcher as its users run it: the real program, a script library serving a folder as
// firmware, Launch modules compiled to .pyo and an extension built for the system's
// interpreter, on Linux and on Windows alike. Every run purges a shared data folder of the
// test's, which this fixture fills before each test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/scratch_folder.h"

namespace fwlaunch::testing {

namespace fs = std::filesystem;

inline std::vector<std::string> SplitAtNul(const std::string& text) {
  std::vector<std::string> parts{""};
  for (char c : text) {
    if (c == '\0')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

#if defined(_WIN32)
inline constexpr char kSeparator[] = "\\";
// The launcher's standard output is in text mode there.
inline constexpr char kNewline[] = "\r\n";
#else
inline constexpr char kSeparator[] = "/";
inline constexpr char kNewline[] = "\n";
#endif

// One line of the launcher's standard output.
inline std::string Line(const std::string& text) { return text + kNewline; }

// What the parent sees of an exit status: Linux keeps its low 8 bits, Windows all 32.
inline int Kept(int status) {
#if defined(_WIN32)
  return status;
#else
  return status & 0xff;
#endif
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
    MakeHiddenAndReadOnly(Shared() / ".hidden");
#if defined(_WIN32)
    // The shell's machine-wide folder, redirected to this test's by the registry
    // (windows/common_appdata_redirect.cpp).
    options.environment["FWLAUNCH_TEST_APPDATA"] = AppData().string();
#endif
  }
  ~FwlaunchTest() override {
    // A read-only file that Windows will not delete stays for the scratch folder to remove.
    std::error_code ignored;
    fs::remove_all(Shared(), ignored);
  }

  fs::path Temp() const { return scratch.path() / "tmp"; }
  fs::path Work() const { return Temp() / "QALM"; }
  // The working folder as the launcher writes it, ending in the separator.
  std::string WorkingFolder() const { return Work().string() + kSeparator; }
  fs::path Firmware() const { return scratch.path() / "firmware"; }
#if defined(_WIN32)
  fs::path AppData() const { return scratch.path() / "appdata"; }
#else
  // Built into the test launcher: one for the whole build, so these tests take turns.
  fs::path AppData() const { return FWLAUNCH_TEST_APPDATA; }
#endif
  fs::path Shared() const { return AppData() / "BrenvikProductTQLN"; }
  std::string LibraryPath() const { return WorkingFolder() + "Script.dll"; }

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
