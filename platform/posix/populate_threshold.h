// When asking the kernel to fault pages in ahead pays: below this, the few faults cost less
// than the call.
#pragma once

#include <cstddef>

namespace fwlaunch::platform {

inline constexpr std::size_t kWorthPopulating = 256 * 1024;

}  // namespace fwlaunch::platform
