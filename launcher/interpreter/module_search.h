// Where the interpreter finds the firmware's modules and its own standard library.
#pragma once

#include <string>

namespace fwlaunch {

// Makes sys.path the working folder followed by the standard-library folders under
// stdlib_folder, and lets "import X" load X.pyd from the working folder (or a package folder
// inside it) as an extension module. Throws std::runtime_error when the interpreter refuses.
void PrepareModuleSearch(const std::string& working_folder, const std::string& stdlib_folder);

}  // namespace fwlaunch
