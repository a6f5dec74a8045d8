#include "module_list/module_list.h"

#include <algorithm>

#include "base/ascii_text.h"
#include "platform/path_rules.h"

namespace fwlaunch {

ScriptListWalk::ScriptListWalk(std::span<const char> list)
    : rest_(list.data(),
            static_cast<std::size_t>(std::find(list.begin(), list.end(), '\0') - list.begin())) {}

std::optional<std::string_view> ScriptListWalk::Next() {
  std::size_t line_feed = rest_.find('\n');
  if (line_feed == std::string_view::npos) return std::nullopt;
  std::string_view entry = rest_.substr(0, line_feed);
  rest_.remove_prefix(line_feed + 1);
  return entry;
}

SplitModuleList::SplitModuleList(std::string_view list) {
  ScriptListWalk walk(list);
  while (std::optional<std::string_view> name = walk.Next()) names.push_back(*name);
  std::size_t last_line_feed = list.rfind('\n');
  unread = last_line_feed == std::string_view::npos ? list : list.substr(last_line_feed + 1);
}

bool HasModuleExtension(std::string_view name) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string_view extension = name.substr(dot);
  return EqualsIgnoringAsciiCase(extension, ".pyd") || EqualsIgnoringAsciiCase(extension, ".pyo");
}

std::optional<std::string_view> WhyNotExtracted(std::string_view entry) {
  if (!HasModuleExtension(entry)) return "it ends in neither .pyd nor .pyo";
  // Longer names would be cut short in the entry name, and a cut name could overwrite
  // another module.
  static_assert(kEntryNameSize == 128, "the reason below names the limit");
  if (entry.size() >= kEntryNameSize) return "it has 128 characters or more";
  if (!platform::StaysInsideFolder(entry)) return "it would lead out of the working folder";
  return std::nullopt;
}

std::string_view FitModuleList(std::string_view list) {
  if (list.size() < kScriptListSize) return list;
  std::string_view fitting = list.substr(0, kScriptListSize - 1);
  std::size_t last_line_feed = fitting.rfind('\n');
  return last_line_feed == std::string_view::npos ? std::string_view()
                                                  : fitting.substr(0, last_line_feed + 1);
}

}  // namespace fwlaunch
