// The search the system's own purge makes: FindFirstFileA with "*.*", then FindNextFileA; an
// entry goes after its attributes are set to FILE_ATTRIBUTE_NORMAL, so that read-only and
// hidden files go too.
#include "platform/directory_search.h"

#include <windows.h>

#include <utility>

#include "platform/windows/last_error.h"

namespace fwlaunch::platform {

struct DirectorySearch::State {
  State(HANDLE opened, const WIN32_FIND_DATAA& first, std::string searched)
      : handle(opened), pending(first), folder(std::move(searched)) {}
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ~State() { FindClose(handle); }
  HANDLE handle;
  WIN32_FIND_DATAA pending;
  bool has_pending = true;
  std::string folder;  // ends in a separator
};

std::optional<DirectorySearch> DirectorySearch::Open(const std::string& folder) {
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
  WIN32_FIND_DATAA first;
  HANDLE handle = FindFirstFileA((prefix + "*.*").c_str(), &first);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  return DirectorySearch(std::make_unique<State>(handle, first, prefix));
}

DirectorySearch::DirectorySearch(std::unique_ptr<State> state) : state_(std::move(state)) {}

DirectorySearch::DirectorySearch(DirectorySearch&& other) noexcept
    : state_(std::move(other.state_)) {}

DirectorySearch::~DirectorySearch() = default;

std::optional<DirectoryEntry> DirectorySearch::Next() {
  if (!state_->has_pending) {
    if (!FindNextFileA(state_->handle, &state_->pending)) return std::nullopt;
  }
  state_->has_pending = false;
  const WIN32_FIND_DATAA& found = state_->pending;
  return DirectoryEntry{found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

Status DirectorySearch::RemoveEntry(const std::string& name) {
  std::string path = state_->folder + name;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (DeleteFileA(path.c_str())) return Done{};
  return Fail(DescribeLastError());
}

}  // namespace fwlaunch::platform
