// The diagnostic twin: the same run as fwlaunch, with every step told on standard error.
#pragma once

#include <cctype>
#include <sstream>

#include "tests/launcher/fwlaunch_fixture.h"

namespace fwlaunch::testing {

class FwlaunchTraceTest : public FwlaunchTest {
 protected:
  // Runs the twin, then fwlaunch on the same state, and checks that they agree on everything
  // but standard error. Returns the twin's run.
  ProgramRun Both(const std::string& function, std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments = LaunchArguments(function, extra);
    ProgramRun traced = RunProgram(FWLAUNCH_TRACE_BINARY, arguments, options);
    ProgramRun plain = RunProgram(FWLAUNCH_TESTING_BINARY, arguments, options);
    EXPECT_EQ(traced.exit_status, plain.exit_status) << function;
    EXPECT_EQ(traced.out, plain.out) << function;
    EXPECT_EQ(plain.err, "") << "fwlaunch itself says nothing on standard error";
    return traced;
  }
  // The lines the interpreter's part told, from its start to its end, as both systems tell
  // them: without the time, paths and addresses replaced by names, line ends as on Linux.
  std::vector<std::string> InterpreterLines(const ProgramRun& run) const {
    std::vector<std::string> lines;
    std::istringstream text(run.err);
    std::string line;
    bool started = false;
    while (std::getline(text, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.starts_with("fwlaunch-trace:")) line = line.substr(line.find(" ms  ") + 5);
      if (line.starts_with("interpreter started")) {
        started = true;
        line = line.substr(0, line.find(", sys.path"));
      }
      if (!started) continue;
      if (line.starts_with("the script's process ended")) break;
      for (auto [path, name] :
           {std::pair{LibraryPath(), "LIBRARY"}, std::pair{WorkingFolder(), "WORK/"},
            std::pair{Firmware().string(), "FIRMWARE"}}) {
        // As written, and as a Python repr writes it (backslashes doubled).
        std::string repr;
        for (char c : path) repr += c == '\\' ? std::string("\\\\") : std::string(1, c);
        for (const std::string& text_of : {path, repr})
          for (std::size_t at; (at = line.find(text_of)) != std::string::npos;)
            line.replace(at, text_of.size(), name);
      }
      lines.push_back(WithoutAddresses(line));
    }
    return lines;
  }
  // Every "0x" followed by hexadecimal digits as "0x?".
  static std::string WithoutAddresses(const std::string& line) {
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
      if (line.compare(i, 2, "0x") == 0 && i + 2 < line.size() &&
          std::isxdigit(static_cast<unsigned char>(line[i + 2]))) {
        out += "0x?";
        for (i += 2; i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])); ++i) {
        }
      } else {
        out += line[i++];
      }
    }
    return out;
  }
  static void ExpectSaid(const ProgramRun& run, const std::string& words) {
    EXPECT_NE(run.err.find(words), std::string::npos) << "missing: " << words << "\n" << run.err;
  }
};

}  // namespace fwlaunch::testing
