// Reading the script list that the library writes: module file names, each ended by LF.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace fwlaunch {

// Walks the entries of a list buffer. The text ends at its first NUL, or at the end of the
// buffer when the library left none; text after the last LF is no entry.
class ScriptListWalk {
 public:
  explicit ScriptListWalk(std::span<const char> list);

  // The next entry without its LF, exactly as written (nothing trimmed); nothing at the end.
  std::optional<std::string_view> Next();

 private:
  std::string_view rest_;
};

// Whether an entry names a module to extract: it ends in ".pyd" or ".pyo" (any ASCII case),
// fits the entry name with its NUL (127 characters), and cannot lead out of the working folder
// under this system's path rules (platform/path_rules.h).
bool IsExtractableEntry(std::string_view entry);
// Why an entry is not extracted, in a few words; nothing when it is.
std::optional<std::string_view> WhyNotExtracted(std::string_view entry);

// The working folder followed by the entry, unchanged; nothing when that would exceed the
// 1023 characters a path may hold.
std::optional<std::string> ModuleOutputPath(std::string_view working_folder,
                                            std::string_view entry);

}  // namespace fwlaunch
