// Runs a program to its end in a test, with standard output and error captured.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fwlaunch::testing {

struct ProgramRun {
  bool exited = false;
  int exit_status = -1;  // when exited
  std::string out;
  std::string err;
};

struct ProgramOptions {
  // Variables to set; a variable mapped to nothing is removed.
  std::map<std::string, std::optional<std::string>> environment;
  std::string working_directory;  // empty: the test's own
};

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const ProgramOptions& options = {});

}  // namespace fwlaunch::testing
