// A folder's name for the system's named objects, which take no path: FNV-1a of its full
// path, lower-cased (Windows names files without regard to case), as 16 hexadecimal digits.
#pragma once

#include <string>

namespace fwlaunch::platform {

std::string FolderKey(const std::string& folder);

}  // namespace fwlaunch::platform
