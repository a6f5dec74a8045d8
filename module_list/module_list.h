// The module list (the value of "SCRIPT_PYD"): module file names, each ended by LF, as a script
// library hands it over and the launcher walks it. Its rules, and the interface's fixed sizes
// and texts under C++ names, in one place for the extraction, fwpack and the reference
// Script.dll.
#pragma once

#include <fwlaunch/script_library.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace fwlaunch {

// The buffers' sizes (library_interface/fwlaunch/script_library.h): limits of the data, nothing
// longer is ever put into them.
inline constexpr std::size_t kScriptListSize = FWL_SCRIPT_LIST_SIZE;
inline constexpr std::size_t kContextSize = FWL_CONTEXT_SIZE;
// An entry name with its NUL: at most 127 characters.
inline constexpr std::size_t kEntryNameSize = FWL_ENTRY_NAME_SIZE;
inline constexpr std::int32_t kTransferSize = FWL_TRANSFER_SIZE;

// Proves to the library that the caller is the launcher; it stands at the start of the context
// block and of the transfer buffer before every read.
inline constexpr std::array<std::uint8_t, FWL_ACCESS_TOKEN_SIZE> kAccessToken = [] {
  std::array<std::uint8_t, FWL_ACCESS_TOKEN_SIZE> token{};
  for (std::size_t i = 0; i < token.size(); ++i)
    token[i] = static_cast<std::uint8_t>(FWL_ACCESS_TOKEN[i]);
  return token;
}();

// The configuration key whose value is the module list.
inline constexpr char kScriptListKey[] = FWL_SCRIPT_LIST_KEY;
// The module whose presence in the working folder means the extraction succeeded.
inline constexpr char kLaunchModuleFile[] = "Launch.pyo";

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

// A whole list split as the launcher reads it.
struct SplitModuleList {
  explicit SplitModuleList(std::string_view list);
  std::vector<std::string_view> names;  // in order
  std::string_view unread;              // after the last LF; never read
};

// Whether the name ends in ".pyd" or ".pyo", in any ASCII case: the only modules extracted.
bool HasModuleExtension(std::string_view name);

// Why an entry is not extracted, in a few words; nothing when it is: it must have a module's
// extension, fit the entry name with its NUL (127 characters), and not lead out of the working
// folder under this system's path rules (platform/path_rules.h).
std::optional<std::string_view> WhyNotExtracted(std::string_view entry);
inline bool IsExtractableEntry(std::string_view entry) { return !WhyNotExtracted(entry); }

// The part of a module list that fits the list buffer with its NUL, cut after its last whole
// line, so that no half name is ever listed.
std::string_view FitModuleList(std::string_view list);

}  // namespace fwlaunch
