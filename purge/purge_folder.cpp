#include <optional>

#include "narration/printable.h"
#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "purge/purge_shared_data.h"

namespace fwlaunch {

void PurgeFolder(const std::string& folder, Narrator* narrator) {
  if (!platform::PathExists(folder)) {
    Narrate(narrator, [&] { return "purge: " + Printable(folder) + " does not exist"; });
    return;
  }
  std::optional<platform::DirectorySearch> search = platform::DirectorySearch::Open(folder);
  if (!search) {
    Narrate(narrator, [&] { return "purge: " + Printable(folder) + " cannot be searched"; });
    return;
  }
  while (std::optional<platform::DirectoryEntry> entry = search->Next()) {
    if (entry->is_folder) {
      Narrate(narrator, [&] {
        return "purge: left " + Printable(entry->name) + ": a folder (or a link to one)";
      });
      continue;
    }
    Status removed = search->RemoveFound();
    Narrate(narrator, [&] {
      return removed ? "purge: removed " + Printable(entry->name)
                     : "purge: left " + Printable(entry->name) + ": " + removed.reason();
    });
  }
}

}  // namespace fwlaunch
