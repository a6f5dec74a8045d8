// Builds without an interpreter of the target's own (the Windows cross build) cannot compile.
#include "tools/fwpack/python_compile.h"

namespace fwlaunch::fwpack {

Result<std::string> CompileOptimized(const std::string&, const std::string&, std::uint32_t) {
  return Fail(
      "this fwpack cannot compile Python sources; compile it with python2.7 -OO and "
      "pack the .pyo");
}

}  // namespace fwlaunch::fwpack
