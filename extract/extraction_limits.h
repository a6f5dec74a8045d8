// Sizes of the fixed buffers that the extraction and the script library share. They are
// limits of the data: nothing longer is ever put into them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fwlaunch {

inline constexpr std::size_t kScriptListSize = 1024;
inline constexpr std::size_t kContextSize = 1024;
// An entry name with its NUL: at most 127 characters.
inline constexpr std::size_t kEntryNameSize = 128;
inline constexpr std::int32_t kTransferSize = 0xA00000;
// Paths (working folder, library, output files): at most 1023 characters.
inline constexpr std::size_t kPathBufferSize = 1024;

}  // namespace fwlaunch
