#include "purge/purge_shared_data.h"

#include <optional>

#include "platform/directory_search.h"

namespace fwlaunch {

namespace {

// The folder's path is held in a 520-byte buffer.
constexpr std::size_t kSharedFolderBufferSize = 520;

}  // namespace

void PurgeFolder(const std::string& folder) {
  std::optional<platform::DirectorySearch> search = platform::DirectorySearch::Open(folder);
  if (!search) return;
  while (std::optional<platform::DirectoryEntry> entry = search->Next()) {
    if (entry->is_folder) continue;
    // On this platform a file's own mode never stands in the way of its deletion, so it is
    // left alone: changing it would also change every hard link to the same file.
    search->RemoveEntry(entry->name);
  }
}

void PurgeSharedData() {
  std::string folder = SharedDataFolder();
  if (folder.size() >= kSharedFolderBufferSize) return;
  PurgeFolder(folder);
}

}  // namespace fwlaunch
