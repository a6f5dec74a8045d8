#include "platform/path_rules.h"

#include <algorithm>
#include <array>

#include "base/ascii_text.h"

namespace fwlaunch::platform {

namespace {

// Windows opens a device, not a file, for these names whatever extension follows them.
bool IsWindowsDeviceName(std::string_view component) {
  std::string_view stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view device : kDevices)
    if (EqualsIgnoringAsciiCase(stem, device)) return true;
  bool numbered = stem.size() == 4 && stem[3] >= '0' && stem[3] <= '9';
  return numbered && (EqualsIgnoringAsciiCase(stem.substr(0, 3), "COM") ||
                      EqualsIgnoringAsciiCase(stem.substr(0, 3), "LPT"));
}

// Windows drops trailing dots and spaces, so such a component can stand for "..".
bool IsDotsAndSpacesOnly(std::string_view component) {
  return !component.empty() && component != "." &&
         component.find_first_not_of(". ") == std::string_view::npos;
}

bool ComponentStaysInside(std::string_view component, PathStyle style) {
  if (component == "..") return false;
  if (style == PathStyle::kPosix) return true;
  return !IsDotsAndSpacesOnly(component) && !IsWindowsDeviceName(component);
}

}  // namespace

bool IsSeparator(char c, PathStyle style) {
  return c == '/' || (style == PathStyle::kWindows && c == '\\');
}

bool StaysInsideFolder(std::string_view name, PathStyle style) {
  // Rooted, and under Windows also UNC ("\\host\x") names.
  if (!name.empty() && IsSeparator(name.front(), style)) return false;
  // Drive-qualified ("C:x", "C:\x") names and streams of other files ("a.pyo:x").
  if (style == PathStyle::kWindows && name.find(':') != std::string_view::npos) return false;
  while (true) {
    auto separator =
        std::find_if(name.begin(), name.end(), [style](char c) { return IsSeparator(c, style); });
    std::size_t length = static_cast<std::size_t>(separator - name.begin());
    if (!ComponentStaysInside(name.substr(0, length), style)) return false;
    if (separator == name.end()) return true;
    name.remove_prefix(length + 1);
  }
}

std::string_view BaseName(std::string_view path, PathStyle style) {
  auto last =
      std::find_if(path.rbegin(), path.rend(), [style](char c) { return IsSeparator(c, style); });
  return path.substr(static_cast<std::size_t>(path.rend() - last));
}

}  // namespace fwlaunch::platform
