#include "platform/directory_search.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace fwlaunch::platform {

namespace {

bool LeadsToFolder(int folder, const char* name, unsigned char type) {
  if (type == DT_DIR) return true;
  if (type != DT_LNK && type != DT_UNKNOWN) return false;
  // Links count by what they point to; a dangling one is no folder.
  struct stat status;
  return fstatat(folder, name, &status, 0) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

std::optional<DirectorySearch> DirectorySearch::Open(const std::string& folder) {
  DIR* stream = opendir(folder.c_str());
  if (stream == nullptr) return std::nullopt;
  return DirectorySearch(stream);
}

DirectorySearch::DirectorySearch(DirectorySearch&& other) noexcept
    : stream_(std::exchange(other.stream_, nullptr)) {}

DirectorySearch::~DirectorySearch() {
  if (stream_ != nullptr) closedir(stream_);
}

std::optional<DirectoryEntry> DirectorySearch::Next() {
  const dirent* entry = readdir(stream_);
  if (entry == nullptr) return std::nullopt;
  return DirectoryEntry{entry->d_name, LeadsToFolder(dirfd(stream_), entry->d_name, entry->d_type)};
}

bool DirectorySearch::RemoveEntry(const std::string& name) {
  return unlinkat(dirfd(stream_), name.c_str(), 0) == 0;
}

}  // namespace fwlaunch::platform
