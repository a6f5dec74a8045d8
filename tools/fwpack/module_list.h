// The module list (SCRIPT_PYD) as fwlaunch reads it: names each ended by LF; text after the
// last LF is never read.
#pragma once

#include <string_view>
#include <vector>

namespace fwlaunch::fwpack {

struct ModuleList {
  std::vector<std::string_view> names;  // as fwlaunch takes them, in order
  std::string_view unread;              // after the last LF; fwlaunch ignores it
};

inline ModuleList SplitModuleList(std::string_view list) {
  ModuleList split;
  std::size_t line_feed;
  while ((line_feed = list.find('\n')) != std::string_view::npos) {
    split.names.push_back(list.substr(0, line_feed));
    list.remove_prefix(line_feed + 1);
  }
  split.unread = list;
  return split;
}

}  // namespace fwlaunch::fwpack
