#include "tests/support/scratch_folder.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace fwlaunch::testing {

ScratchFolder::ScratchFolder() {
  // A fresh name until one can be created: create_directory reports whether it made it.
  static std::atomic<unsigned> counter{0};
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate =
        std::filesystem::temp_directory_path() /
        ("fwlaunch-test-" + std::to_string(entropy()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a scratch folder");
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  // Tests leave read-only folders (and, on Windows, read-only files, which cannot be deleted)
  // behind; make them writable again so everything goes. Links are left alone: what they
  // point to may lie outside.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_symlink(ignored)) continue;
    if (it->is_directory(ignored))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    else if (it->is_regular_file(ignored))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void MakeHiddenAndReadOnly(const std::filesystem::path& path) {
#if defined(_WIN32)
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
#else
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
#endif
}

bool WaitForFile(const std::filesystem::path& path) {
  for (int i = 0; i < 6000; ++i) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace fwlaunch::testing
