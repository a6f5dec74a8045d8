// Sizes of the fixed buffers that the extraction and the script library share, as the
// library's interface fixes them. They are limits of the data: nothing longer is ever put
// into them.
#pragma once

#include <fwlaunch/script_library.h>

#include <cstddef>
#include <cstdint>

namespace fwlaunch {

inline constexpr std::size_t kScriptListSize = FWL_SCRIPT_LIST_SIZE;
inline constexpr std::size_t kContextSize = FWL_CONTEXT_SIZE;
// An entry name with its NUL: at most 127 characters.
inline constexpr std::size_t kEntryNameSize = FWL_ENTRY_NAME_SIZE;
inline constexpr std::int32_t kTransferSize = FWL_TRANSFER_SIZE;
// Paths (working folder, library, output files) are held in buffers of this size in the
// system's data model, so none exceeds 1023 characters.
inline constexpr std::size_t kPathBufferSize = 1024;

}  // namespace fwlaunch
