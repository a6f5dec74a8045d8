// Compiled once per shared data folder (FWLAUNCH_COMMON_APPDATA), so that the launcher the
// tests run never touches the system's folder.
#include <optional>
#include <string>

#include "platform/file_system.h"
#include "platform/path_rules.h"
#include "purge/purge_shared_data.h"

#ifndef FWLAUNCH_COMMON_APPDATA
#error "FWLAUNCH_COMMON_APPDATA names the machine-wide application data folder"
#endif

namespace fwlaunch {

namespace {

// The system's data model holds the folder's path in a 520-byte buffer with its NUL.
constexpr std::size_t kSharedFolderLimit = 519;

}  // namespace

std::string SharedDataFolder() {
  // An empty setting means the folder the system reports.
  std::string folder = FWLAUNCH_COMMON_APPDATA;
  if (folder.empty()) {
    std::optional<std::string> reported = platform::MachineDataFolder();
    if (!reported) return {};
    folder = *reported;
  }
  if (folder.empty() || !platform::IsSeparator(folder.back())) folder += platform::kSeparator;
  return folder + "BrenvikProductTQLN" + platform::kSeparator;
}

void PurgeSharedData(Narrator* narrator) {
  std::string folder = SharedDataFolder();
  if (folder.empty() || folder.size() > kSharedFolderLimit) {
    Narrate(narrator, [] { return std::string("purge: no shared data folder to purge"); });
    return;
  }
  Narrate(narrator, [&] { return "purge: the shared data folder " + folder; });
  PurgeFolder(folder, narrator);
}

}  // namespace fwlaunch
