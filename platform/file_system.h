// Plain questions and actions on paths.
#pragma once

#include <optional>
#include <string>

namespace fwlaunch::platform {

// The user's temporary folder (TMPDIR, else /tmp) when it names an existing folder.
std::optional<std::string> TemporaryFolder();

// Whether anything exists under that name (a link counts by what it points to).
bool PathExists(const std::string& path);

// Removes a file (never a folder); false when it could not be removed.
bool RemoveFile(const std::string& path);

}  // namespace fwlaunch::platform
