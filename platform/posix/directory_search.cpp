#include "platform/directory_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace fwlaunch::platform {

struct DirectorySearch::State {
  explicit State(DIR* opened) : stream(opened) {}
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ~State() { closedir(stream); }
  DIR* stream;
  std::string found;  // the name Next() gave last
};

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
  return DirectorySearch(std::make_unique<State>(stream));
}

DirectorySearch::DirectorySearch(std::unique_ptr<State> state) : state_(std::move(state)) {}

DirectorySearch::DirectorySearch(DirectorySearch&& other) noexcept
    : state_(std::move(other.state_)) {}

DirectorySearch::~DirectorySearch() = default;

std::optional<DirectoryEntry> DirectorySearch::Next() {
  const dirent* entry = readdir(state_->stream);
  if (entry == nullptr) return std::nullopt;
  state_->found = entry->d_name;
  return DirectoryEntry{entry->d_name,
                        LeadsToFolder(dirfd(state_->stream), entry->d_name, entry->d_type)};
}

// A file's own mode never stands in the way of unlinking it here, so it is left alone:
// changing it would also change every hard link to the same file.
Status DirectorySearch::RemoveFound() {
  if (unlinkat(dirfd(state_->stream), state_->found.c_str(), 0) != 0)
    return Fail(std::strerror(errno));
  return Done{};
}

}  // namespace fwlaunch::platform
