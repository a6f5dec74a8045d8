// Text from images and command lines shown to a person: control characters escaped, so that
// nothing in it can act on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace fwlaunch {

// The text with LF, CR and other control characters escaped (\n, \r, \xNN); with
// escape_tabs, also tabs and backslashes (\t, \\), so that the result holds neither a tab nor a
// line break and reads back unambiguously.
std::string Printable(std::string_view text, bool escape_tabs = false);

}  // namespace fwlaunch
