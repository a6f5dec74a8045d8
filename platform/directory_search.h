// A walk over the entries directly inside one folder, closed when its owner goes.
#pragma once

#include <dirent.h>

#include <optional>
#include <string>

namespace fwlaunch::platform {

struct DirectoryEntry {
  std::string name;
  // A folder, or a symbolic link that leads to one.
  bool is_folder = false;
};

class DirectorySearch {
 public:
  static std::optional<DirectorySearch> Open(const std::string& folder);

  DirectorySearch(DirectorySearch&& other) noexcept;
  DirectorySearch& operator=(DirectorySearch&&) = delete;
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;
  ~DirectorySearch();

  // The next entry, "." and ".." included; nothing once the folder is exhausted.
  std::optional<DirectoryEntry> Next();

  // Removes a non-folder entry of this folder by name; a link goes, never what it points to.
  bool RemoveEntry(const std::string& name);

 private:
  explicit DirectorySearch(DIR* stream) : stream_(stream) {}
  DIR* stream_ = nullptr;
};

}  // namespace fwlaunch::platform
