// What the user's locale and terminal say about text encoding, as an interpreter asks while it
// starts.
#pragma once

#include <optional>
#include <string>

namespace fwlaunch::platform {

// The character set of the user's locale (LC_CTYPE as the environment sets it), such as
// "UTF-8"; nothing when the system names none. The program's own locale is left as it was.
std::optional<std::string> LocaleCodeset();

// Whether the standard stream (0, 1 or 2) is a terminal.
bool IsTerminal(int standard_stream);

}  // namespace fwlaunch::platform
