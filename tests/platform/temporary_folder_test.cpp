// The temporary folder is the one the C++ library would name, under every environment that
// decides it.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/support/scratch_folder.h"

namespace fwlaunch::testing {
namespace {

constexpr const char* kVariables[] = {"TMPDIR", "TMP", "TEMP", "TEMPDIR"};

// Sets exactly the given variables of the four for its lifetime, and puts back what was there.
class TemporaryEnvironment {
 public:
  explicit TemporaryEnvironment(const std::map<std::string, std::string>& values) {
    for (const char* name : kVariables) {
      if (const char* value = getenv(name)) saved_[name] = value;
      unsetenv(name);
    }
    for (const auto& [name, value] : values) setenv(name.c_str(), value.c_str(), 1);
  }
  ~TemporaryEnvironment() {
    for (const char* name : kVariables) unsetenv(name);
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  std::map<std::string, std::string> saved_;
};

std::optional<std::string> LibraryAnswer() {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) return std::nullopt;
  return folder.string();
}

TEST(TemporaryFolder, IsWhatTheCxxLibraryNames) {
  ScratchFolder scratch;
  std::string folder = scratch.path().string();
  std::string file = (scratch.path() / "file").string();
  std::ofstream(file) << "x";
  const std::map<std::string, std::string> environments[] = {
      {},
      {{"TMPDIR", folder}},
      {{"TMP", folder}},
      {{"TEMP", folder}, {"TEMPDIR", "/nowhere"}},
      {{"TEMPDIR", folder}},
      {{"TMPDIR", "/nowhere"}, {"TMP", folder}},
      {{"TMPDIR", file}},
      {{"TMPDIR", ""}, {"TMP", folder}},
      {{"TMPDIR", folder + "/"}},
  };
  for (const auto& values : environments) {
    TemporaryEnvironment environment(values);
    std::string described;
    for (const auto& [name, value] : values) described += name + "=" + value + " ";
    EXPECT_EQ(platform::TemporaryFolder(), LibraryAnswer()) << described;
  }
}

}  // namespace
}  // namespace fwlaunch::testing
