// Extension modules carried as ".pyd" files, which Python 2.7 on this platform does not look
// for by itself.
#pragma once

#include <string>

namespace fwlaunch::interpreter {

// Puts a finder first on sys.meta_path that, when X is imported, loads X.pyd from the working
// folder (or from a package folder inside it) as an extension module. Names of built-in
// modules are left to the interpreter. Throws std::runtime_error when the interpreter refuses.
void InstallPydFinder(const std::string& working_folder);

}  // namespace fwlaunch::interpreter
