#include "extract/output_path.h"

#include "extract/extraction_limits.h"

namespace fwlaunch {

std::optional<std::string> ModuleOutputPath(std::string_view working_folder,
                                            std::string_view entry) {
  if (working_folder.size() + entry.size() >= kPathBufferSize) return std::nullopt;
  std::string path;
  path.reserve(working_folder.size() + entry.size());
  path.append(working_folder).append(entry);
  return path;
}

}  // namespace fwlaunch
