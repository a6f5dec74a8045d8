#include "extract/script_list.h"

#include <algorithm>
#include <cstring>

#include "extract/extraction_limits.h"
#include "platform/path_rules.h"

namespace fwlaunch {

namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

bool HasModuleExtension(std::string_view entry) {
  std::size_t dot = entry.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string_view extension = entry.substr(dot);
  return EqualsIgnoringAsciiCase(extension, ".pyd") || EqualsIgnoringAsciiCase(extension, ".pyo");
}

}  // namespace

ScriptListWalk::ScriptListWalk(std::span<const char> list)
    : rest_(list.data(), static_cast<std::size_t>(std::find(list.begin(), list.end(), '\0') -
                                                  list.begin())) {}

std::optional<std::string_view> ScriptListWalk::Next() {
  std::size_t line_feed = rest_.find('\n');
  if (line_feed == std::string_view::npos) return std::nullopt;
  std::string_view entry = rest_.substr(0, line_feed);
  rest_.remove_prefix(line_feed + 1);
  return entry;
}

std::optional<std::string_view> WhyNotExtracted(std::string_view entry) {
  if (!HasModuleExtension(entry)) return "it ends in neither .pyd nor .pyo";
  // Longer names would be cut short in the entry name, and a cut name could overwrite
  // another module.
  if (entry.size() >= kEntryNameSize) return "it has 128 characters or more";
  if (!platform::StaysInsideFolder(entry)) return "it would lead out of the working folder";
  return std::nullopt;
}

bool IsExtractableEntry(std::string_view entry) { return !WhyNotExtracted(entry); }

std::optional<std::string> ModuleOutputPath(std::string_view working_folder,
                                            std::string_view entry) {
  if (working_folder.size() + entry.size() >= kPathBufferSize) return std::nullopt;
  std::string path;
  path.reserve(working_folder.size() + entry.size());
  path.append(working_folder).append(entry);
  return path;
}

}  // namespace fwlaunch
