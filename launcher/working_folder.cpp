#include "launcher/working_folder.h"

#include "extract/extraction_limits.h"

namespace fwlaunch {

std::string WorkingFolder(const std::optional<std::string>& temporary_folder) {
  if (!temporary_folder || temporary_folder->empty()) return kWorkingFolderName;
  std::string folder = *temporary_folder;
  if (folder.back() != '/') folder += '/';
  folder += kWorkingFolderName;
  if (ScriptLibraryPath(folder).size() >= kPathBufferSize) return kWorkingFolderName;
  return folder;
}

std::string ScriptLibraryPath(const std::string& working_folder) {
  return working_folder + kScriptLibraryFile;
}

}  // namespace fwlaunch
