#include "launcher/working_folder.h"

#include "extract/extraction_limits.h"
#include "platform/path_rules.h"

namespace fwlaunch {

std::string WorkingFolder(const std::optional<std::string>& temporary_folder) {
  const std::string relative = std::string(kWorkingFolderName) + platform::kSeparator;
  if (!temporary_folder || temporary_folder->empty()) return relative;
  std::string folder = *temporary_folder;
  if (!platform::IsSeparator(folder.back())) folder += platform::kSeparator;
  folder += relative;
  if (ScriptLibraryPath(folder).size() >= kPathBufferSize) return relative;
  return folder;
}

std::string ScriptLibraryPath(const std::string& working_folder) {
  return working_folder + kScriptLibraryFile;
}

}  // namespace fwlaunch
