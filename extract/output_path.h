// Where a module of the list is written: the working folder followed by the entry.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fwlaunch {

// The working folder followed by the entry, unchanged; nothing when that would exceed the
// 1023 characters a path may hold.
std::optional<std::string> ModuleOutputPath(std::string_view working_folder,
                                            std::string_view entry);

}  // namespace fwlaunch
