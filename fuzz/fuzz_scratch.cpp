#include "fuzz/fuzz_scratch.h"

#include <stdlib.h>

#include <algorithm>
#include <stdexcept>
#include <system_error>

namespace fwlaunch::fuzz {

FuzzScratch::FuzzScratch() {
  std::string pattern = (std::filesystem::temp_directory_path() / "fwlaunch-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

FuzzScratch::~FuzzScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void FuzzScratch::Clear(std::initializer_list<const char*> keep) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(root_, ignored)) {
    std::string name = entry.path().filename().string();
    bool kept = std::any_of(keep.begin(), keep.end(), [&](const char* k) { return name == k; });
    if (!kept) {
      std::filesystem::remove_all(entry.path(), ignored);
    } else if (entry.is_directory(ignored)) {
      for (const auto& inner : std::filesystem::directory_iterator(entry.path(), ignored))
        std::filesystem::remove_all(inner.path(), ignored);
    }
  }
}

bool FuzzScratch::HoldsOnly(std::initializer_list<const char*> names) const {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(root_, ignored)) {
    std::string name = entry.path().filename().string();
    if (std::none_of(names.begin(), names.end(), [&](const char* n) { return name == n; }))
      return false;
  }
  return true;
}

}  // namespace fwlaunch::fuzz
