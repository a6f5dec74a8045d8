// Python 2.7 sources turned into the optimised bytecode (.pyo) firmware carries, as
// "python2.7 -OO" would write it, so that packing a firmware needs no separate interpreter.
#pragma once

#include <cstdint>
#include <string>

#include "base/result.h"

namespace fwlaunch::fwpack {

// The .pyo file's bytes for the source (magic number, modification time, marshalled code);
// the compiler's message, naming the file and line, when it does not compile.
Result<std::string> CompileOptimized(const std::string& source, const std::string& filename,
                                     std::uint32_t modification_time);

}  // namespace fwlaunch::fwpack
