// Comparisons of names by their ASCII letters, which the module list's extensions and the
// system's device names are written in, whatever the locale says.
#pragma once

#include <algorithm>
#include <string_view>

namespace fwlaunch {

constexpr char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiUpper(x) == AsciiUpper(y);
         });
}

}  // namespace fwlaunch
