// The rule that keeps names inside their folder, under both systems' path rules, checked
// against an independent resolution: every name the rule lets through, resolved the way that
// system resolves it below a folder, must stay below that folder.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path_rules.h"

namespace {

using fwlaunch::platform::PathStyle;

// Whether resolving name below a folder, component by component, ever climbs above it. Under
// the Windows rules, trailing dots and spaces are dropped from each component first, as
// Windows does, and ':' or a leading separator leave the folder at once.
bool Escapes(std::string_view name, PathStyle style) {
  auto separator = [&](char c) { return c == '/' || (style == PathStyle::kWindows && c == '\\'); };
  if (!name.empty() && separator(name.front())) return true;
  if (style == PathStyle::kWindows && name.find(':') != std::string_view::npos) return true;
  long depth = 0;
  std::string component;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !separator(name[i])) {
      component += name[i];
      continue;
    }
    if (style == PathStyle::kWindows) {
      while (!component.empty() && (component.back() == '.' || component.back() == ' '))
        component.pop_back();
    }
    if (component == "..")
      --depth;
    else if (!component.empty() && component != ".")
      ++depth;
    if (depth < 0) return true;
    component.clear();
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view name(reinterpret_cast<const char*>(data), size);
  for (PathStyle style : {PathStyle::kPosix, PathStyle::kWindows}) {
    if (fwlaunch::platform::StaysInsideFolder(name, style) && Escapes(name, style))
      __builtin_trap();
    std::string_view base = fwlaunch::platform::BaseName(name, style);
    if (base.size() > name.size() || name.substr(name.size() - base.size()) != base)
      __builtin_trap();
  }
  return 0;
}
