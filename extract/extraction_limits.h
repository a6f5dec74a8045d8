// The size of the path buffers in the system's data model; the buffers the extraction shares
// with the script library are the module list's (module_list/module_list.h).
#pragma once

#include <cstddef>

namespace fwlaunch {

// Paths (working folder, library, output files) are held in buffers of this size in the
// system's data model, so none exceeds 1023 characters.
inline constexpr std::size_t kPathBufferSize = 1024;

}  // namespace fwlaunch
