// Test helpers: a scratch folder removed with everything in it, and whole-file reads and writes.
#pragma once

#include <filesystem>
#include <string>

namespace fwlaunch::testing {

class ScratchFolder {
 public:
  ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const std::filesystem::path& path() const { return path_; }
  // The folder's path with a trailing separator, as the working folder is written.
  std::string WithSeparator() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// Makes the file read-only, and on Windows hidden too (a dot name hides it elsewhere).
void MakeHiddenAndReadOnly(const std::filesystem::path& path);

// Waits until the file exists (a program's sign that it reached some point); false after a
// minute, long enough for a program started under an emulator.
bool WaitForFile(const std::filesystem::path& path);

}  // namespace fwlaunch::testing
