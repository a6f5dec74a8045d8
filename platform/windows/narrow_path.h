// Narrow text for the system's narrow calls, which read it in the ANSI code page. A character
// the code page lacks becomes '?' there (or, worse, a look-alike such as '\' for a full-width
// one), so a path is only handed on narrow when it comes back unchanged; otherwise its short
// (8.3) form, which is always ASCII, stands for it.
#pragma once

#include <optional>
#include <string>

namespace fwlaunch::platform {

// The text in the ANSI code page, when it can say every character of it exactly.
std::optional<std::string> ExactNarrowText(const std::wstring& text);

// A narrow path that names what the wide one names: the path itself when the code page can
// say it, else its short form; nothing when it names nothing that exists or its volume gives
// it no short name.
std::optional<std::string> NarrowPathFor(const std::wstring& path);

// The text as UTF-16, from narrow text in the ANSI code page.
std::wstring WideFromNarrow(const std::string& text);

}  // namespace fwlaunch::platform
