// The module list's walk and the name rules, in memory: no library, no disk, no 10 MiB buffer.
// The input is the list buffer as the library leaves it (any bytes, NUL or not); each entry the
// walk yields is checked against what the extraction relies on.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "extract/extraction_limits.h"
#include "extract/output_path.h"
#include "module_list/module_list.h"
#include "platform/path_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fwlaunch;
  // The buffer is exactly the list's size, so ASan sees any read past it.
  char list[kScriptListSize];
  std::memset(list, 0, sizeof list);
  std::memcpy(list, data, size < sizeof list ? size : sizeof list);

  constexpr std::string_view kFolder = "/tmp/QALM/";
  ScriptListWalk walk({list, sizeof list});
  std::size_t walked = 0;
  while (std::optional<std::string_view> entry = walk.Next()) {
    walked += entry->size() + 1;
    // Entries lie inside the text, hold no LF and no NUL, and never overlap.
    if (walked > sizeof list || entry->find('\n') != std::string_view::npos ||
        entry->find('\0') != std::string_view::npos)
      __builtin_trap();
    if (!IsExtractableEntry(*entry)) continue;
    if (entry->size() >= kEntryNameSize || !platform::StaysInsideFolder(*entry)) __builtin_trap();
    std::optional<std::string> path = ModuleOutputPath(kFolder, *entry);
    if (!path || path->size() >= kPathBufferSize || !path->starts_with(kFolder) ||
        path->substr(kFolder.size()) != *entry)
      __builtin_trap();
  }
  return 0;
}
