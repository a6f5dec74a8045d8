// Extension modules carried as ".pyd" files, which Python 2.7 on this platform does not look
// for by itself.
#pragma once

#include <string>

#include "base/result.h"

namespace fwlaunch::interpreter {

// Puts a finder first on sys.meta_path that, when X is imported, loads X.pyd from the working
// folder (or from a package folder inside it) as an extension module. Names of built-in
// modules are left to the interpreter. Fails when the interpreter refuses.
Status InstallPydFinder(const std::string& working_folder);

}  // namespace fwlaunch::interpreter
