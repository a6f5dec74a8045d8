// The fixed working folder: where the script library waits and the modules are written.
#pragma once

#include <optional>
#include <string>

namespace fwlaunch {

inline constexpr char kWorkingFolderName[] = "QALM";
inline constexpr char kScriptLibraryFile[] = "Script.dll";

// The temporary folder followed by "QALM" and the separator. "QALM" and the separator alone,
// relative to the current folder, when there is no temporary folder or the library path under
// it would exceed the 1023 characters a path may hold.
std::string WorkingFolder(const std::optional<std::string>& temporary_folder);

// The working folder followed by "Script.dll".
std::string ScriptLibraryPath(const std::string& working_folder);

}  // namespace fwlaunch
