#include <optional>

#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "purge/purge_shared_data.h"

namespace fwlaunch {

void PurgeFolder(const std::string& folder) {
  if (!platform::PathExists(folder)) return;
  std::optional<platform::DirectorySearch> search = platform::DirectorySearch::Open(folder);
  if (!search) return;
  while (std::optional<platform::DirectoryEntry> entry = search->Next()) {
    if (entry->is_folder) continue;
    search->RemoveEntry(entry->name);
  }
}

}  // namespace fwlaunch
